// Every name the end-to-end tests find the program by: window classes, control ids,
// the texts it shows. The ids and the version come from the program's own headers, so
// a renumbered control or a new version cannot leave the tests behind; the texts are
// the built-in Korean string table's, written out once here.
#pragma once

#include "protocol/PeerContract.h"
#include "resources/resource.h"

#include <string>

namespace e2e {

constexpr char kProgramName[] = "Vantor Tavrel.exe";
constexpr char kMainClass[] = "Vantor Tavrel";
constexpr char kDialogClass[] = "#32770";
constexpr char kBoxTitle[] = "Vantor Tavrel";  // the caption of the program's messages
constexpr char kExitCaption[] = "Vantor Tavrel 종료 확인";
constexpr char kTeacherId[] = "teacher01";

// The version the program reports to its peers, as the simulated classroom logs it.
inline std::string OwnVersion() {
    std::string text;
    for (const char16_t* c = kOwnVersion; *c != 0; ++c) text += char(*c);
    return text;
}

// Controls: the standard buttons, then the program's own.
constexpr int kOkButton = 1;      // IDOK
constexpr int kCancelButton = 2;  // IDCANCEL
constexpr int kYesButton = IDC_MSG_YES;
constexpr int kNoButton = IDC_MSG_NO;
constexpr int kBoxTextLabel = IDC_MSG_TEXT;
constexpr int kTeacherIdEdit = IDC_TEACHER_ID;
constexpr int kLoginIdLabel = IDC_LOGIN_ID_LABEL;
constexpr int kStatusLine = IDC_LOGIN_STATUS;
constexpr int kLoadingText = IDC_LOADING_TEXT;
constexpr int kPanelCloseButton = IDC_PANEL_CLOSE;
constexpr int kFoldButton = IDC_PANEL_FOLD;
constexpr int kRemoteButton = IDC_REMOTE_CONTROL;
constexpr int kKeyboardButton = IDC_TOUCH_KEYBOARD;
constexpr int kMonitorButton = IDC_CHANGE_MONITOR;
constexpr int kStudentTouchButton = IDC_STUDENT_TOUCH;
constexpr int kBroadcastButton = IDC_BROADCAST;
constexpr int kScreenUpButton = IDC_SCREEN_UP;
constexpr int kSoundUpButton = IDC_SOUND_UP;
constexpr int kAboutCommand = IDM_ABOUTBOX;

// Texts of the string table.
constexpr char kTextTeacherLost[] = "Vantor Teacher와 연결이 끊어져 프로그램이 종료됩니다";
constexpr char kTextRelayUnreachable[] =
    "로그인 서버와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요.";
constexpr char kTextTeacherUnreachable[] =
    "Vantor Teacher와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요.";
constexpr char kTextCheckWifi[] = "WiFi에 정상 연결되었는지 확인 후 다시 실행해주세요.";
constexpr char kTextInvalidData[] = "잘못된 정보가 수신되었습니다.";
constexpr char kTextRemoteDeniedScreenUp[] =
    "화면 올림 상태에서는 원격제어가 불가능합니다.\n화면 올림을 중단한 후 실행해 주세요.";
constexpr char kTextScreenUpDeniedRemote[] =
    "원격 제어 상태에서는 화면올림이 불가능합니다.\n원격 제어를 종료한 후 실행해 주세요.";
constexpr char kTextRemoteOnly[] = "원격 제어 상태일때 사용 가능한 기능입니다.";
constexpr char kTextConfirmExit[] = "Vantor Tavrel을 종료하시겠습니까?";
constexpr char kTextIdEmpty[] = "선생님 ID를 입력해 주세요.";
constexpr char kTextIdBadChars[] =
    "선생님 ID로 사용할 수 없는 문자(\",\\<>&|:/*?\"\")가 사용되었습니다.";
constexpr char kTextIdTooLong[] = "선생님 ID는 최대 20글자까지 입력할 수 있습니다.";
constexpr char kTextBadAccess[] = "잘못된 접근입니다.";
constexpr char kTextBadTeacherId[] = "유효하지않은 선생님 ID 입니다.";
constexpr char kTextLoadingRelay[] = "로그인 서버와 연결 중입니다.";

}  // namespace e2e
