// Resource ids of the updater VTUpdaterT. Its resources live in their own script
// (Updater.rc) and several numbers coincide with the main program's, so the names
// carry their own prefix and the two scripts are never linked into one image.
#pragma once

#define IDD_UPD_ABOUTBOX 100
#define IDS_UPD_ABOUTBOX 101
#define IDD_UPD_DIALOG 102
#define IDS_UPD_SOCKETS_FAILED 103

#define IDI_UPD_MAINFRAME 128
// Pictures with their design sizes in pixels.
#define IDB_UPD_BACKDROP 129  // 541 x 249, behind the progress list
#define IDB_UPD_RUNNOW 130    // 111 x 34
#define IDB_UPD_RUNNOW_HOVER 131
#define IDB_UPD_RUNNOW_ENG 430  // 110 x 29
#define IDB_UPD_RUNNOW_ENG_HOVER 431

#define IDC_UPD_PROGRESS 1003
#define IDC_UPD_TITLE 1004
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// System-menu command of the about box.
#define IDM_UPD_ABOUTBOX 0x0010

// Face names of the updater's fonts (Korean set, English set).
#define IDS_UPD_FONT_FACE 2607
#define IDS_UPD_FONT_FACE_ENG 2907

// Progress messages: the Korean texts; the English ones stand at id + 300.
#define IDS_UPD_DOWNLOAD_START 300
#define IDS_UPD_DOWNLOAD_FAILED 301
#define IDS_UPD_SAVE_FAILED 302
#define IDS_UPD_WRITE_FAILED 303
#define IDS_UPD_DOWNLOAD_DONE 304
#define IDS_UPD_DOWNLOAD_REFUSED 305
#define IDS_UPD_BATCH_CREATE_FAILED 306
#define IDS_UPD_BATCH_WRITE_FAILED 307
#define IDS_UPD_SERVER_INFO_FAILED 308
#define IDS_UPD_RUN_NOW_HINT 309
#define IDS_UPD_CHECKING_UPDATER 311
#define IDS_UPD_UPDATER_CHECK_FAILED 312
#define IDS_UPD_CHECKING_TYPE 313
#define IDS_UPD_GETTING_SERVER_INFO 314
#define IDS_UPD_GETTING_FILE_LIST 315
#define IDS_UPD_REPLACING_UPDATER 316
#define IDS_UPD_DOWNLOADING_UPDATER 317
#define IDS_UPD_FAILED_REPLY 318
#define IDS_UPD_RECORD_REJECTED 320
#define IDS_UPD_INSTALL_FAILED 321
#define IDS_UPD_BATCH_PATH_UNWRITABLE 322
#define IDS_UPD_ENGLISH_OFFSET 300
