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

#endif
