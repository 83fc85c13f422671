// Every timer id and internal window-message number of the program, in one place.
// The numbers are used directly, without registration: the remote session's threads,
// the capture threads and the note tool all post to windows of other threads, so each
// side must agree on them exactly. Plain integers only: portable code (the session
// core and its tests) uses them as well as the Windows files.
#pragma once

#include <cstdint>

// ---- timers of the main dialog
inline constexpr unsigned kTimerKeepOnTop = 2;       // keeps the panel (and the palette) on top
inline constexpr unsigned kTimerKeepAlive = 3;       // "[RC00003]" and the silence watchdog
inline constexpr unsigned kTimerRemoteSend = 4;      // remote session: send the queued input
inline constexpr unsigned kTimerLecternTimeout = 6;  // no greeting from the lectern PC
inline constexpr unsigned kTimerRelayTimeout = 7;    // no word from the relay server

// ---- timers of other windows
inline constexpr unsigned kTimerLoginTopmost = 5121;  // keeps the log-in dialog on top

// Marker carried in wParam by the notices between the main dialog and the remote
// session's windows (0x12345); a message without it is not one of ours.
inline constexpr uintptr_t kNoticeMarker = 74565;

// ---- socket notices to the socket's owner window; wParam is the CTCPSocket
inline constexpr unsigned kWmSocketAccept = 32769;     // a connection can be accepted
inline constexpr unsigned kWmSocketConnected = 32770;  // connect finished; lParam the error
inline constexpr unsigned kWmSocketReceive = 32771;    // data can be read
inline constexpr unsigned kWmSocketClosed = 32772;     // peer closed; the socket is closed here

// ---- thread messages to the viewer, control and note threads
inline constexpr unsigned kWmThreadClose = 32868;  // end the thread
inline constexpr unsigned kWmSendText = 32968;     // control thread: send this heap text
inline constexpr unsigned kWmThreadStart = 33068;  // control and viewer threads: start

// ---- messages to the main dialog
inline constexpr unsigned kWmSendSoundPacket = 32873;    // sound capture: send this packet
inline constexpr unsigned kWmSoundUpFailed = 32874;      // sound capture failed; wParam: generation
inline constexpr unsigned kWmSendFramePacket = 32875;    // screen-up capture: send this packet
inline constexpr unsigned kWmSendPacketRequest = 32977;  // wParam: heap CPacket, sent and freed
inline constexpr unsigned kWmSocketHandedBack = 33069;   // lParam: the lent socket handle
// The main dialog's answer to kWmSocketHandedBack when it took the socket.
inline constexpr intptr_t kSocketTakenBack = 1;
inline constexpr unsigned kWmTouchStateNotice = 33071;      // lParam: 1 when student touch is on
inline constexpr unsigned kWmBroadcastStateNotice = 33072;  // lParam: 1 when broadcast is on
inline constexpr unsigned kWmMonitorButtonNotice = 33074;   // lParam: show the monitor button
inline constexpr unsigned kWmIgnoredNoticeA = 33173;        // answered and otherwise ignored
inline constexpr unsigned kWmIgnoredNoticeB = 33174;
inline constexpr unsigned kWmRemoteConnectionLost = 3124;  // the session lost the lectern PC

// ---- messages to the note tool's palette, from the main dialog's thread
inline constexpr unsigned kWmNotePlaceAndShow = 33090;   // place the palette and show it
inline constexpr unsigned kWmNoteRemoteStarted = 33091;  // remote control started: close up

// ---- messages of the remote session's windows
inline constexpr unsigned kWmDrainInput = 2024;        // pump thread: drain the input lists
inline constexpr unsigned kWmSendInputModeKey = 2039;  // viewer: send "[RC00015]"
inline constexpr unsigned kWmAcknowledgeFrame = 2046;  // receive thread: send "[RC00006]"
inline constexpr unsigned kWmSendTypedChar = 2064;     // viewer: send "[RC00014]"
inline constexpr unsigned kWmChangeMonitor = 2239;     // viewer, then communication window
inline constexpr unsigned kWmApplyMonitorView = 3925;  // viewer: show the selected monitor
