#pragma once
// Resource ids of in_quorvo.dll.
#define IDS_ABOUT_TEXT 16
#define IDS_PLUGIN_NAME 17
#define IDS_ABOUT_NOTICE 18
#define IDS_ABOUT_CAPTION 19
#define IDS_SETTINGS 25
#define IDS_MODULE_DESCRIPTION 35
