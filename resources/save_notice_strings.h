/* Texts of the notice about a save that failed at the last quit (UTF-8),
   shared by both libraries' string tables and the portable build. %1 is the
   file, %2 the reason. The reasons follow save_notice::Reason in order. */
#ifndef SAVE_NOTICE_STRINGS_H
#define SAVE_NOTICE_STRINGS_H

#define STR_SAVE_SETTINGS_FAILED "前回の終了時に設定を保存できませんでした。そのとき変更した設定は失われています。\n\n保存先: %1\n理由: %2\n\n保存先のフォルダーとファイルに書き込めるか、ディスクに空きがあるかを確認してください。"
#define STR_SAVE_CACHE_FAILED "前回の終了時に CDDB のキャッシュを保存できませんでした。そのとき CDDB から取得した曲名は失われています (それまでのキャッシュファイルはそのまま残っています)。\n\n保存先: %1\n理由: %2\n\n保存先のフォルダーとファイルに書き込めるか、ディスクに空きがあるかを確認してください。"
#define STR_SAVE_COMPANION_FAILED "前回の終了時に gen_quorvo.dll の設定 (メニューのページ) を保存できませんでした。そのとき変更した設定は失われています。\n\n保存先: %1\n理由: %2\n\n保存先のフォルダーとファイルに書き込めるか、ディスクに空きがあるかを確認してください。"
#define STR_SAVE_REASON_UNKNOWN "書き込みに失敗しました"
#define STR_SAVE_REASON_NO_FOLDER "保存先のフォルダーがありません"
#define STR_SAVE_REASON_IS_FOLDER "同じ名前のフォルダーがあるため、ファイルを作れません"
#define STR_SAVE_REASON_READ_ONLY "ファイルが読み取り専用になっています"
#define STR_SAVE_REASON_DISK_FULL "ディスクの空き容量が足りません"
#define STR_SAVE_REASON_DENIED "書き込む権限がありません"

#endif
