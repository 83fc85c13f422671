// The remote session's receive-dispatch thread: takes what the communication
// window received and acts on it, away from the window's thread (frames are
// decoded here).
#pragma once

#include "framework/Afx_win.h"

#include <memory>

class CCommChannel;
class CRHInfo;

// Starts the thread; its handle (the caller joins and closes it), or null when
// it could not be started. The thread holds only the channel, the record (which
// outlives the session) and window handles.
HANDLE StartReceiveDispatch(std::shared_ptr<CCommChannel> channel, CRHInfo& info, HWND comm,
                            HWND mainDialog);
