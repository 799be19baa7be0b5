#pragma once
// Dialog and control ids of the information box, the device-change window
// and the CDDB windows of in_quorvo.dll.
#define IDD_INFO_BOX 102
#define IDD_DEVICE_MONITOR 103
#define IDD_CDDB_STATUS 106
#define IDD_CDDB_CACHE 107
#define IDD_CDDB_CANDIDATES 110

// Information box.
#define IDC_INFO_TITLE 1000
#define IDC_INFO_LENGTH 1001
#define IDC_INFO_SOURCE 1002
#define IDC_INFO_PERFORMER 1003
#define IDC_INFO_SONGWRITER 1005
#define IDC_INFO_SOURCE_TITLE 1007
#define IDC_INFO_COMPOSER 1009
#define IDC_INFO_ARRANGER 1011
#define IDC_INFO_DRIVE 1014
#define IDC_INFO_TRACK 1017
#define IDC_INFO_VERIFICATION 1060

// Device-change window (never filled).
#define IDC_MONITOR_STATE 1016
#define IDC_MONITOR_TARGET 1018

// CDDB status window.
#define IDC_STATUS_CLOSE 1024
#define IDC_STATUS_MESSAGE 1026
#define IDC_STATUS_DISC_ID 1027

// Candidates dialog.
#define IDC_CANDIDATE_LIST 1028
#define IDC_CANDIDATE_OK 1030
#define IDC_CANDIDATE_CANCEL 1031

// Cache manager.
#define IDC_CACHE_CLOSE 1029
#define IDC_CACHE_LIST 1031
#define IDC_CACHE_DELETE 1032
