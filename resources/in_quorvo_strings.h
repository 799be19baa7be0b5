/* String-table texts of in_quorvo.dll (UTF-8). Shared by the resource script
   and by the portable build, which has no resources. */
#ifndef IN_QUORVO_STRINGS_H
#define IN_QUORVO_STRINGS_H

#define STR_ABOUT_TEXT "デジタル再生, CD-TEXT，CDDB対応\n  音楽CD再生プラグイン"
#define STR_PLUGIN_NAME "音楽CD再生プラグイン"
#define STR_ABOUT_NOTICE "無保証です。ご利用は各自の責任でお願いします。"
#define STR_ABOUT_CAPTION "バージョン情報"
#define STR_SETTINGS "設定"
#define STR_MODULE_DESCRIPTION "QZS Audio CD Player plug-in"

/* Settings property sheet: page titles and tooltips. */
#define STR_PAGE_TITLE "タイトル"
#define STR_PAGE_EXTENDED "タイトル拡張書式"
#define STR_PAGE_CDTEXT "CD-TEXT"
#define STR_PAGE_CDDB1 "CDDB ①"
#define STR_PAGE_CDDB2 "CDDB ②"
#define STR_PAGE_READ "読み取り"
#define STR_PAGE_OTHER "その他"
#define STR_PAGE_RIP "リッピング"
#define STR_TIP_DEFAULT_FORMAT "CD-TEXTがない場合のデフォルトタイトルフォーマットを指定します"
#define STR_TIP_CDTEXT_FORMAT "CD-TEXTがある場合のタイトルフォーマットを指定します"
#define STR_TIP_READ_SPEED "音楽データの読み取り速度を設定します。\nなお、ドライブの能力以上の速度では、読み取ることは出来ませんのでご注意ください。\n\n※ヒント\n 読み取り速度を低速に設定すると動作音を抑えることが出来ますが、\n 再生が不安定になる可能性があります。"
#define STR_TIP_BUFFER_SIZE "先読みに使用するバッファサイズです\n\n※ヒント\nこのサイズを大きくすると再生が安定する効果があります"
#define STR_TIP_PRE_READ_SIZE "再生開始やシークしたときに最低限読み込むサイズです\n\n※ヒント\n このサイズが小さいとシーク時の反応が良くなりますが低速なCD-ROMドライブでは再生が不安定になることがあります。\n 逆に、このサイズを大きいと再生が安定する効果がありますが反応は悪くなります"
#define STR_TIP_JITTER "ジッターコレクションを使用します\n再生が不安定であったり、ノイズがのる場合に有効にしてください"
#define STR_TIP_CDDB_FORMAT "CDDBがある場合のタイトルフォーマットを指定します"
#define STR_TIP_CDDB_URL "CDDB情報を取得するサーバのURLを指定します"
#define STR_TIP_PRIORITY "タイトルの優先順位を指定します\n上にあるタイトルほど、優先順位が高くなります\n\nなお、「デフォルト」より下に指定したタイトルは無効になります\n利用したくないタイトルがある場合は、デフォルトより下に指定してください"
#define STR_TIP_CDDB_UTF8 "CDDBサーバとのデータのやりとりに、UTF-8を使用します\nfreedbで、日本語のデータを使用する場合は有効にしてください"
#define STR_TIP_CDDB_PROXY "プロキシサーバを使用する場合は、サーバのアドレスを入力してください。"
#define STR_TIP_CDDB_USE_PROXY "プロキシサーバの設定を有効にする場合にチェックしてください。"
#define STR_TIP_MULTITHREAD_INIT "in_quorvo.dllプラグインの初期化処理をバックグラウンドで行います。\n環境によってはWinampの起動が早くなる場合があります(逆効果の場合もあります)"
#define STR_TIP_EXTENDED_DEFAULT "タイトル拡張書式にデフォルト値を使用します。\n\nCDDB/CD-TEXT情報がない場合に、この値が使用されます。\nただし、「タイトル優先順位」でデフォルトをCDDB/CD-TEXTより\n上位においている場合は、CDDB/CD-TEXTが存在しても、\nこのデフォルト値が使用されます。"
#define STR_TIP_EXTENDED_TITLE "タイトル拡張書式で使用するデフォルトのタイトルを設定してください。"
#define STR_TIP_CDDB_AUTO_CLOSE "CDDB取得状態ダイアログを自動的(3秒後)に閉じる"
#define STR_TIP_CDDB_EMAIL "CDDBサーバへの問い合わせに添えて送るメールアドレスです。\ngnudb(既定のサーバ)では必須で、空欄のままだと問い合わせを拒否されることがあります。\n\n例: taro@example.jp"
#define STR_TIP_RIP_OFFSET "ドライブの読み取りオフセットを、サンプル数(1サンプル = 1/44100秒)で指定します(-5880～5880)。\n+N を指定すると、トラックの各サンプルとして、本来の位置より N サンプル後ろからドライブが読み取ったデータを使用します。\n\n※ヒント\n 「オフセットを検出」で、ドライブに入っている音楽CDから求めることができます。\n 一度も設定していない場合は、最初のリッピングのときに自動で検出します。"
#define STR_TIP_RIP_SECURE "各フレームを少なくとも2回、ドライブのキャッシュを避けて読み取り、結果を照合します。\n一致しないフレームは、一致するまで読み直します。\n\nチェックを外すと、各フレームを1回だけ読み取ります(バーストモード)。\n速くなりますが、読み取りの誤りを検出できません。"
#define STR_TIP_RIP_RETRIES "セキュアモードで、読み取り結果が一致しないフレームを読み直す最大回数です(2～64)。\nこの回数で一致しない場合は、バイトごとに多数決をとった結果を使用し、\nその位置をログに「疑わしい位置」として記録します。"
#define STR_TIP_RIP_LOG_FOLDER "リッピングログ(ディスクごとに1つ)を保存するフォルダです。\n空欄にすると、既定のフォルダ(設定フォルダ内の「rip logs」)に保存します。"
#define STR_TIP_RIP_OPEN_LOG "ログフォルダをエクスプローラーで開きます。\nフォルダがない場合は作成します。"
#define STR_TIP_RIP_DETECT_OFFSET "ドライブに入っている音楽CDの各トラックを読み取り、AccurateRip のデータベースと比べて、\nドライブの読み取りオフセットを検出します(数秒～数十秒かかります)。\n\n検出できた値は\"読み取りオフセット\"に入り、すぐに保存されます。\nデータベースに登録されていないCDでは検出できません。"
#define STR_TIP_AR_USE "リッピングしたトラックのチェックサムを AccurateRip のデータベースと照合し、結果をログに記録します。\n「一致（信頼度 N）」は、N 件の他の人のリッピングと同じ結果だったことを示します。\n\nチェックを外すと、データベースへの問い合わせを一切行いません。"
#define STR_TIP_AR_SERVER "AccurateRip のデータベースを取得するサーバーのアドレスです(http:// で始まるもの)。\n空欄にすると、既定のサーバー(http://www.accuraterip.com)を使用します。\nプロキシは CDDB のプロキシの設定に従います。"

#endif
