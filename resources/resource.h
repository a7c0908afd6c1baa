// Resource and control identifiers of the setup program: the two dialogs, their controls, the accelerator
// table, and the two controls that both dialogs get at run time.
#pragma once

#define IDD_SETUP 113
#define IDD_MAINTENANCE 2000
// The small window of a passive run: the status line and the progress bar alone.
#define IDD_PASSIVE 3000
#define IDR_ACCELERATORS 111
#define IDM_ABOUT 104

// Dialog 113: fields, labels and buttons. OK and Cancel are Windows' IDOK (1) and IDCANCEL (2).
#define IDC_OK 1
#define IDC_CANCEL 2
#define IDC_SERVER_DIRECTORY 114
#define IDC_SEARCH 115
#define IDC_BIT_SIZE 116
#define IDC_PORT 117
#define IDC_HOSTS 118
#define IDC_SETUP_TYPE 119
#define IDC_CLIENT_DIRECTORY 120
#define IDC_PASSWORD 122
#define IDC_PASSWORD_AGAIN 123
#define IDC_INSTALL_SQL 124
#define IDC_EDITION 125
#define IDC_BIT_SIZE_LABEL 126
#define IDC_CLIENT_DIRECTORY_LABEL 127
#define IDC_SERVER_DIRECTORY_LABEL 128
#define IDC_EDITION_LABEL 129
#define IDC_PORT_LABEL 130
#define IDC_HOSTS_LABEL 131
#define IDC_INSTALL_SQL_LABEL 132
#define IDC_SETUP_TYPE_LABEL 133
#define IDC_PASSWORD_LABEL 134
#define IDC_PASSWORD_AGAIN_LABEL 135
#define IDC_DARK_MODE 136
#define IDC_PROXY_LABEL 137
#define IDC_PROXY_SERVER 138
#define IDC_PROXY 139

// Dialog 2000.
#define IDC_UNINSTALL 2001
#define IDC_REPAIR 2002
#define IDC_APPLY_SERVER 2003
#define IDC_APPLY_CLIENT 2004
#define IDC_ACTION_GROUP 2005
#define IDC_APPLY_GROUP 2006

// Created at run time in every dialog.
#define IDC_STATUS_LINE 40001
#define IDC_PROGRESS_BAR 40002
