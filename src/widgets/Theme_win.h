// The colours of the program's own windows, in one place: the panel, the log-in
// dialog, the message box and the notices share one dark theme, and a colour changed
// here changes everywhere it is used.
#pragma once

#include "framework/Afx_win.h"

// The caption strip every window is dragged by, and the line under it.
constexpr COLORREF kThemeStripColour = RGB(24, 30, 43);
constexpr COLORREF kThemeStripLineColour = RGB(0, 0, 0);
// Bodies: the panel and the log-in dialog, and the slightly lighter message box.
constexpr COLORREF kThemeBodyColour = RGB(29, 36, 52);
constexpr COLORREF kThemeBoxBodyColour = RGB(36, 43, 58);
// Texts: window captions in cyan, labels and status lines in blue, message text in grey.
constexpr COLORREF kThemeCaptionColour = RGB(3, 207, 227);
constexpr COLORREF kThemeLabelColour = RGB(15, 142, 230);
constexpr COLORREF kThemeBoxTextColour = RGB(150, 162, 163);
// The log-in dialog's edit field.
constexpr COLORREF kThemeEditTextColour = RGB(64, 163, 220);
constexpr COLORREF kThemeEditBackColour = RGB(30, 29, 30);
// The wait notice and the loading window: a framed darker fill.
constexpr COLORREF kNoticeFrameColour = RGB(38, 48, 69);
constexpr COLORREF kNoticeFillColour = RGB(20, 32, 54);
constexpr COLORREF kNoticeTextColour = RGB(162, 192, 209);
