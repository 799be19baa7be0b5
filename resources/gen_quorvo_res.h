#pragma once
// Resource ids of gen_quorvo.dll.
#define IDD_MENU_PAGE 106
#define IDC_ALL_DRIVES 1012
#define IDC_QUICK_START 1013
#define IDC_RESTART_NOTE 1014
#define IDS_TIP_ALL_DRIVES 1
#define IDS_TIP_QUICK_START 2
// The notice about a save that failed at the last quit; the reasons are
// IDS_SAVE_REASON_FIRST + save_notice::Reason.
#define IDS_SAVE_COMPANION_FAILED 10
#define IDS_SAVE_REASON_FIRST 20
