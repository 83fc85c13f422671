// Resource identifiers of the pictures of Vantor Tavrel: bitmaps of the image buttons
// and backdrops, the loading spinner (type "GIF"), the folded panel's PNG (type
// "BIN_PNG") and the note tool's cursors. Pictures.rc gives each its file; the files
// are drawn at build time from src/resources/art. The built-in resources and every
// language module carry the same numbers; only pictures with text differ in language.
// Button bitmaps come in the order the image button takes them: normal, hover,
// disabled, checked; a state without a picture of its own reuses another's number.
// Plain #defines only: this file is read by windres as well as by the compilers.
#ifndef TAVREL_RESOURCES_PICTURES_H
#define TAVREL_RESOURCES_PICTURES_H

// Title bands of the control panel, the login dialog and the message box.
#define IDB_CLOSE 137         // close cross, 39 x 34, all states
#define IDB_FOLD 174          // fold the panel: bar, 39 x 34
#define IDB_FOLD_CHECKED 175  // panel folded: accent window outline, 39 x 34

// Control panel, 160 x 225 backdrop and its feature buttons.
#define IDB_PANEL_BACKDROP 138          // card with row rules behind the feature buttons
#define IDB_BROADCAST 139               // radio waves, "화면전송", 50 x 64
#define IDB_KEYBOARD 140                // keyboard, "키보드", 56 x 28, all states
#define IDB_NOTETOOL 141                // pencil, "판서", 56 x 28, all states
#define IDB_REMOTE 142                  // monitor with pointer, "원격제어", 50 x 64
#define IDB_SCREENUP 143                // pad with rising arrow, "화면올림", 50 x 64
#define IDB_SOUND 144                   // speaker, "소리", 56 x 28
#define IDB_STUDENT_TOUCH 145           // tapping hand, "학생터치", 50 x 64
#define IDB_BROADCAST_CHECKED 146       // broadcast on: accent plate
#define IDB_BROADCAST_HOVER 147         // broadcast, lighter plate
#define IDB_REMOTE_CHECKED 150          // remote control on: accent plate
#define IDB_REMOTE_HOVER 151            // remote control, lighter plate
#define IDB_SCREENUP_CHECKED 152        // screen up on: accent plate
#define IDB_SCREENUP_HOVER 153          // screen up, lighter plate
#define IDB_SOUND_CHECKED 154           // sound up on: accent plate
#define IDB_STUDENT_TOUCH_CHECKED 156   // student touch on: accent plate
#define IDB_STUDENT_TOUCH_HOVER 157     // student touch, lighter plate
#define IDB_BROADCAST_DISABLED 178      // broadcast, dimmed
#define IDB_REMOTE_DISABLED 179         // remote control, dimmed
#define IDB_SCREENUP_DISABLED 180       // screen up, dimmed
#define IDB_STUDENT_TOUCH_DISABLED 181  // student touch, dimmed
#define IDB_MONITOR 186                 // two monitors, "모니터", 56 x 28
#define IDB_MONITOR_HOVER 187           // change monitor, lighter plate
#define IDR_MINI_PNG 183                // folded panel: round button with the mark, 70 x 70, alpha

// Login dialog.
#define IDB_LOGIN_OK 160            // "확인", accent, 67 x 34
#define IDB_LOGIN_OK_HOVER 161      // "확인", lighter accent
#define IDB_LOGIN_IDFRAME 162       // frame behind the teacher ID edit with a person, 252 x 29
#define IDB_LOGIN_BANNER 163        // mark, "Vantor Tavrel" and a hint line, 376 x 89
#define IDB_LOGIN_SEPARATOR 164     // engraved rule, 341 x 2
#define IDB_LOGIN_CANCEL 184        // "취소", plain, 67 x 34
#define IDB_LOGIN_CANCEL_HOVER 185  // "취소", lighter

// Message box and loading window.
#define IDB_MSG_CANCEL 166        // "취소", plain, 67 x 34
#define IDB_MSG_CANCEL_HOVER 167  // "취소", lighter
#define IDB_MSG_NO 168            // "아니오", plain, 67 x 34, all states
#define IDB_MSG_OK 169            // "확인", accent, 67 x 34
#define IDB_MSG_OK_HOVER 170      // "확인", lighter accent
#define IDB_MSG_YES 171           // "예", accent, 67 x 34, all states
#define IDB_MSG_PANEL 172         // panel under the message text, 470 x 124
#define IDB_MSG_ICON 173          // exclamation mark in a disc, 55 x 50
#define IDR_SPINNER_GIF 177       // twelve dots turning, 66 x 66, 12 images of 100 ms, looping

// Note tool palette. A checkable button's disabled state shows its normal picture.
#define IDB_NOTE_TOUCHMODE 616           // tapping hand: touch mode, 46 x 46
#define IDB_NOTE_TOUCHMODE_CHECKED 617   // the same, chosen: accent plate
#define IDB_NOTE_TOUCHMODE_HOVER 618     // the same, lighter plate
#define IDB_NOTE_BOARDMODE 619           // screen with a pen: board-writing mode, 46 x 46
#define IDB_NOTE_BOARDMODE_CHECKED 620   // the same, chosen: accent plate
#define IDB_NOTE_BOARDMODE_HOVER 621     // the same, lighter plate
#define IDB_NOTE_WHITEBOARD 622          // easel: whiteboard mode, 46 x 46
#define IDB_NOTE_WHITEBOARD_CHECKED 623  // the same, chosen: accent plate
#define IDB_NOTE_WHITEBOARD_HOVER 624    // the same, lighter plate
#define IDB_NOTE_CLOSE 625               // close cross on the red title band, 39 x 34
#define IDB_NOTE_SEMI 626                // marker over a see-through stroke, 40 x 40
#define IDB_NOTE_SEMI_CHECKED 627        // the same, chosen: accent plate
#define IDB_NOTE_SEMI_HOVER 628          // the same, lighter plate
#define IDB_NOTE_BLACK 629               // pen colour RGB(20,20,20), 39 x 39
#define IDB_NOTE_BLACK_CHECKED 630       // the same, chosen: accent plate
#define IDB_NOTE_BLACK_HOVER 631         // the same, lighter plate
#define IDB_NOTE_BLUE 632                // pen colour RGB(0,0,230)
#define IDB_NOTE_BLUE_CHECKED 633        // the same, chosen: accent plate
#define IDB_NOTE_BLUE_HOVER 634          // the same, lighter plate
#define IDB_NOTE_RED 635                 // pen colour RGB(230,0,0)
#define IDB_NOTE_RED_CHECKED 636         // the same, chosen: accent plate
#define IDB_NOTE_RED_HOVER 637           // the same, lighter plate
#define IDB_NOTE_WHITE 638               // pen colour RGB(230,230,230)
#define IDB_NOTE_WHITE_CHECKED 639       // the same, chosen: accent plate
#define IDB_NOTE_WHITE_HOVER 640         // the same, lighter plate
#define IDB_NOTE_ERASE 647               // eraser, 39 x 38
#define IDB_NOTE_ERASE_CHECKED 648       // the same, chosen: accent plate
#define IDB_NOTE_ERASE_HOVER 649         // the same, lighter plate
#define IDB_NOTE_DRAW 650                // pencil, 39 x 38
#define IDB_NOTE_DRAW_CHECKED 651        // the same, chosen: accent plate
#define IDB_NOTE_DRAW_HOVER 652          // the same, lighter plate
#define IDB_NOTE_SIZE1 653               // 2-pixel stroke, 77 x 30
#define IDB_NOTE_SIZE1_CHECKED 654       // the same, chosen: accent plate
#define IDB_NOTE_SIZE1_HOVER 655         // the same, lighter plate
#define IDB_NOTE_SIZE2 656               // 5-pixel stroke
#define IDB_NOTE_SIZE2_CHECKED 657       // the same, chosen: accent plate
#define IDB_NOTE_SIZE2_HOVER 658         // the same, lighter plate
#define IDB_NOTE_SIZE3 659               // 8-pixel stroke
#define IDB_NOTE_SIZE3_CHECKED 660       // the same, chosen: accent plate
#define IDB_NOTE_SIZE3_HOVER 661         // the same, lighter plate
#define IDB_NOTE_SIZE4 662               // 11-pixel stroke
#define IDB_NOTE_SIZE4_CHECKED 663       // the same, chosen: accent plate
#define IDB_NOTE_SIZE4_HOVER 664         // the same, lighter plate
#define IDB_NOTE_SAVE 665                // diskette, 40 x 40
#define IDB_NOTE_SAVE_CHECKED 666        // the same, chosen: accent plate
#define IDB_NOTE_SAVE_HOVER 667          // the same, lighter plate
#define IDB_NOTE_CYAN 671                // pen colour RGB(27,183,199)
#define IDB_NOTE_CYAN_CHECKED 672        // the same, chosen: accent plate
#define IDB_NOTE_CYAN_HOVER 673          // the same, lighter plate
#define IDB_NOTE_GREEN 674               // pen colour RGB(0,230,0)
#define IDB_NOTE_GREEN_CHECKED 675       // the same, chosen: accent plate
#define IDB_NOTE_GREEN_HOVER 676         // the same, lighter plate
#define IDB_NOTE_PINK 677                // pen colour RGB(230,51,204)
#define IDB_NOTE_PINK_CHECKED 678        // the same, chosen: accent plate
#define IDB_NOTE_PINK_HOVER 679          // the same, lighter plate
#define IDB_NOTE_YELLOW 680              // pen colour RGB(230,230,0)
#define IDB_NOTE_YELLOW_CHECKED 681      // the same, chosen: accent plate
#define IDB_NOTE_YELLOW_HOVER 682        // the same, lighter plate
#define IDB_NOTE_CLEAR 683               // waste bin: clear all, 39 x 38
#define IDB_NOTE_CLEAR_CHECKED 684       // the same, chosen: accent plate
#define IDB_NOTE_CLEAR_HOVER 685         // the same, lighter plate

// Note overlay cursors, 32 x 32.
#define IDC_NOTE_PEN 392     // pencil, hot spot at its tip (1, 30)
#define IDC_NOTE_ERASER 404  // outline of the erased 32 x 32 square, hot spot in its middle

#endif  // TAVREL_RESOURCES_PICTURES_H
