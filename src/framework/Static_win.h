// CStatic: a static control, usually taken over from a dialog template.
#pragma once

#include "framework/Wnd_win.h"

class CStatic : public CWnd {};
