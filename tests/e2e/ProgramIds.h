// Names the end-to-end tests use to find the program's windows and controls.
#pragma once

namespace e2e {

constexpr char kProgramName[] = "Vantor Tavrel.exe";
constexpr char kMainClass[] = "Vantor Tavrel";
constexpr char kDialogClass[] = "#32770";
constexpr char kBoxTitle[] = "Vantor Tavrel";  // the caption of the program's messages
constexpr char kTeacherId[] = "teacher01";

// Controls.
constexpr int kOkButton = 1;
constexpr int kTeacherIdEdit = 1036;
constexpr int kBoxTextLabel = 1099;  // the message box's hidden text label

}  // namespace e2e
