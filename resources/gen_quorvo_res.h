#pragma once
// Resource ids of gen_quorvo.dll.
#define IDD_MENU_PAGE 106
#define IDC_ALL_DRIVES 1012
#define IDC_QUICK_START 1013
#define IDC_RESTART_NOTE 1014
#define IDS_TIP_ALL_DRIVES 1
#define IDS_TIP_QUICK_START 2
