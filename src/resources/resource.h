// Resource identifiers of Vantor Tavrel, shared by the built-in Korean resources
// (Tavrel.rc), every language module (TavrelEng.rc, ...) and the C++ code.
//
// A language module must use exactly these numbers: the program loads its texts and
// dialogs by number from whichever module start-up chose. The trailing comment of each
// string is its Korean text; docs/resources.md lists the English ones beside them.
// Plain #defines only: this file is read by windres as well as by the compilers.
#ifndef TAVREL_RESOURCES_RESOURCE_H
#define TAVREL_RESOURCES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates.
#define IDD_ABOUTBOX 100             // Tavrel 정보
#define IDD_VANTORTAVREL_DIALOG 102  // Vantor Tavrel (main control panel)

// Icon, also the name of the about box's picture.
#define IDR_MAINFRAME 128  // program icon

// Command of the system-menu item that opens the about box.
#define IDM_ABOUTBOX 0x0010  // Tavrel 정보(&A)...

// Controls of the dialog templates above. The panel's buttons are made at run time
// with these numbers; the end-to-end tests find them by them.
#define IDC_TITLE_TEXT 1011      // Tavrel (caption static of the panel)
#define IDC_PANEL_CLOSE 1628     // close button of the panel
#define IDC_PANEL_FOLD 1629      // fold button of the panel
#define IDC_REMOTE_CONTROL 1001  // 원격제어
#define IDC_TOUCH_KEYBOARD 1003  // 키보드
#define IDC_CHANGE_MONITOR 1630  // 모니터
#define IDC_SCREEN_UP 1004       // 화면올림
#define IDC_NOTE_TOOL 1007       // 노트툴
#define IDC_SOUND_UP 1005        // 소리
#define IDC_STUDENT_TOUCH 1006   // 학생 터치
#define IDC_BROADCAST 1008       // 방송

// String table: start-up.
#define IDS_ABOUTBOX 101             // Tavrel 정보(&A)...
#define IDS_SOCKETS_INIT_FAILED 103  // Windows 소켓을 초기화하지 못했습니다.
#define IDS_OS_NOT_SUPPORTED 201  // Windows XP 또는 그 이후의 운영체제에서만 실행이 가능합니다.

// String table: session and control panel.
#define IDS_CHECK_WIFI_AND_RESTART 205  // WiFi에 정상 연결되었는지 확인 후 다시 실행해주세요.
#define IDS_CONFIRM_EXIT 206          // Vantor Tavrel을 종료하시겠습니까?
#define IDS_CONFIRM_EXIT_CAPTION 207  // Vantor Tavrel 종료 확인
#define IDS_GDIPLUS_INIT_FAILED 208   // GDI+ 라이브러리를 초기화할 수 없습니다.
#define IDS_REMOTE_DENIED_SCREENUP 210  // 화면 올림 상태에서는 원격제어가 불가능합니다.
#define IDS_STOP_SCREENUP_FIRST 211   // 화면 올림을 중단한 후 실행해 주세요.
#define IDS_TEACHER_DISCONNECTED 213  // Vantor Teacher와 연결이 끊어진 상태입니다.
#define IDS_REMOTE_ONLY_FEATURE 215  // 원격 제어 상태일때 사용 가능한 기능입니다.
#define IDS_SCREENUP_DENIED_REMOTE 216  // 원격 제어 상태에서는 화면올림이 불가능합니다.
#define IDS_STOP_REMOTE_FIRST 217   // 원격 제어를 종료한 후 실행해 주세요.
#define IDS_TIP_REMOTE_CONTROL 221  // 교탁 PC의 원격제어를 시작/중단 합니다.
#define IDS_TIP_TOUCH_KEYBOARD 222  // 원격제어 상태에서 키보드 입력 방법을 제공합니다.
#define IDS_TIP_SCREEN_UP 223  // 선생님 패드 화면을 교탁 PC로 실시간 전송합니다.
#define IDS_TIP_NOTE_TOOL 224  // 화면올림 상태일때 노트툴 사용을 활성화 합니다.
// 화면올림 상태일때 선생님 패드에서 나는 소리를 교탁 PC로 실시간 전송합니다.
#define IDS_TIP_SOUND_UP 225
#define IDS_TIP_STUDENT_TOUCH 226  // 학생 패드의 터치기능을 활성/비활성화 시킵니다.
#define IDS_TIP_BROADCAST 227  // 교탁PC의 현재 화면을 모든 학생 패드로 실시간 전송합니다.
#define IDS_TEACHER_LOST_EXIT 229  // Vantor Teacher와 연결이 끊어져 프로그램이 종료됩니다
// 로그인 서버와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요.
#define IDS_RELAY_UNREACHABLE 230
// Vantor Teacher와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요.
#define IDS_TEACHER_UNREACHABLE 231
#define IDS_INVALID_DATA_RECEIVED 232  // 잘못된 정보가 수신되었습니다.
#define IDS_TIP_CHANGE_MONITOR 234     // 원격제어 대상 모니터를 변경합니다.

// String table: log-in and the relay server's refusals.
#define IDS_LOGIN_ID_EMPTY 1103  // 선생님 ID를 입력해 주세요.
// 선생님 ID로 사용할 수 없는 문자(",\<>&|:/*?"")가 사용되었습니다.
#define IDS_LOGIN_ID_BAD_CHARS 1104
#define IDS_LOGIN_ID_TOO_LONG 1105  // 선생님 ID는 최대 20글자까지 입력할 수 있습니다.
#define IDS_LOGIN_QUERYING 1106      // 로그인 서버 정보를 얻어오고 있습니다.
#define IDS_RELAY_LOOKUP_ERROR 1109  // 로그인 정보를 찾는 동안 오류가 발생했습니다.
#define IDS_RELAY_NO_TEACHER 1110  // 일치하는 선생님 정보를 찾을 수 없습니다.
// 로그인 서버와 Vantor 종류가 다릅니다.\n프로그램을 확인해 주세요.
#define IDS_RELAY_WRONG_KIND 1111
#define IDS_RELAY_NOT_RUNNING 1112  // 실행중인 %s 가 없습니다.\n선생님 ID를 확인해주세요.
#define IDS_LOGIN_BAD_ACCESS 1113       // 잘못된 접근입니다.
#define IDS_LOGIN_BAD_TEACHER_ID 1114   // 유효하지않은 선생님 ID 입니다.
#define IDS_LOGIN_BAD_UNIQUE_CODE 1115  // 유효하지않은 고유코드 입니다.

// String table: note tool.
#define IDS_TIP_NOTE_TOUCH_MODE 1220        // 터치 모드
#define IDS_TIP_NOTE_BOARD_MODE 1221        // 판서 모드
#define IDS_TIP_NOTE_WHITEBOARD_MODE 1222   // 화이트보드 모드
#define IDS_TIP_NOTE_DRAW 1223              // 그리기
#define IDS_TIP_NOTE_ERASE 1224             // 지우기
#define IDS_TIP_NOTE_SEMI_TRANSPARENT 1232  // 반투명 그리기
#define IDS_TIP_NOTE_SAVE 1233              // 파일로 저장
#define IDS_NOTE_SAVE_CHANGES 1234          // 변경사항을 파일로 저장하시겠습니까?
#define IDS_NOTE_SAVED 1235                 // 저장되었습니다.
#define IDS_NOTE_SAVE_CAPTION 1237          // 확인
#define IDS_TIP_NOTE_CLEAR_ALL 1238         // 전체 지우기
#define IDS_NOTE_SAVE_FAILED 1239           // 저장하지 못했습니다. ...

// String table: loading window texts.
#define IDS_LOADING_TEACHER 1520  // Vantor Teacher와 연결중 입니다.
#define IDS_LOADING_RELAY 1522    // 로그인 서버와 연결 중입니다.

// String table: face name of every font of the program's own windows.
#define IDS_FONT_FACE 2607  // 굴림

// Widget dialogs: the skinned message box, the wait notice and the loading window.
#define IDD_CUSTOM_MSG_DIALOG 687  // message box (caption label 1011, buttons 1, 2, 1246, 1247)
#define IDD_WAIT_MSG_DIALOG 391    // 작업을 진행중 입니다.
#define IDD_LOADING_DIALOG 188     // spinner 1062 and text 1063
#define IDC_MSG_CAPTION 1011       // caption label of the message box
#define IDC_MSG_YES 1246
#define IDC_MSG_NO 1247
#define IDC_MSG_CLOSE 1628  // close button created at run time
#define IDC_MSG_TEXT 1099   // hidden label holding the message text, for readers of the screen
#define IDC_WAIT_TEXT 1059
#define IDC_LOADING_PICTURE 1062
#define IDC_LOADING_TEXT 1063

// The note tool's palette: a caption label; the buttons are made at run time.
#define IDD_NOTETOOL_DIALOG 140  // Tavrel 판서도구
#define IDC_NOTE_CAPTION 1011    // Tavrel 판서도구
#define IDC_NOTE_CLOSE 1628
#define IDC_NOTE_TOUCH_MODE 1520
#define IDC_NOTE_BOARD_MODE 1521
#define IDC_NOTE_DRAW 1522
#define IDC_NOTE_ERASE 1523
#define IDC_NOTE_CLEAR_ALL 1524
#define IDC_NOTE_SIZE1 1525    // to IDC_NOTE_SIZE1 + 3: pen sizes 1 to 4
#define IDC_NOTE_COLOUR1 1529  // to IDC_NOTE_COLOUR1 + 7: the eight colours
#define IDC_NOTE_SEMI_TRANSPARENT 1537
#define IDC_NOTE_SAVE 1538
#define IDC_NOTE_NOTHING 1539  // does nothing, like Esc
#define IDC_NOTE_WHITEBOARD_MODE 1540

// The log-in dialog: no caption, drawn by the program; the close button is made at run time.
#define IDD_LOGIN_DIALOG 129  // title, "선생님 ID", teacher ID edit, status line, 확인, 취소
#define IDC_LOGIN_ID_LABEL 1000  // 선생님 ID
#define IDC_LOGIN_TITLE 1011     // Vantor Tavrel
#define IDC_TEACHER_ID 1036
#define IDC_LOGIN_STATUS 1064
#define IDC_LOGIN_CLOSE 1628

#endif  // TAVREL_RESOURCES_RESOURCE_H
