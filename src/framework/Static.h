// CStatic: a static control, usually taken over from a dialog template.
#pragma once

#include "framework/Wnd.h"

class CStatic : public CWnd {};
