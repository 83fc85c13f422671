#pragma once

// What the pad relies on from the lectern PC program and the relay server, in one
// place: the versions it adapts to and the command codes both sides use. Details of
// each exchange live with the code that handles it; docs/peer-contract.md explains.
//
// Version texts are compared code unit by code unit as plain text, never as numbers.

// This program's own version, announced to the relay server and the lectern PC.
constexpr char16_t kOwnVersion[] = u"3.0.1.1004";
// Lectern programs up to and including this version do not report the broadcast and
// touch states: the pad flips its buttons itself.
constexpr char16_t kVersionStateReports[] = u"2.0.1.1027";
// Lectern programs older than this have no monitor selection: the pad sets the frame
// geometry from its own screen size.
constexpr char16_t kVersionMonitorSelection[] = u"2.0.1.1068";
// The last version without monitor selection (sorts just before the one above).
constexpr char16_t kVersionBeforeMonitorSelection[] = u"2.0.1.1067";
// The peer's version until it announces one.
constexpr char16_t kUnknownPeerVersion[] = u"0";

// Relay server.
constexpr char16_t kCmdRelayIdentify[] = u"[UR00001]";        // R->P identification request
constexpr char16_t kCmdPadIdentity[] = u"[US00001]";          // P->R pad's identification
constexpr char16_t kCmdRelayPeerAddress[] = u"[UR00002]";     // R->P lectern PC address, port
constexpr char16_t kCmdRelayIgnoredP0002[] = u"[USP0002]";    // R->P ignored
constexpr char16_t kCmdRelayIgnoredUdpInfo[] = u"[UDPINFO]";  // R->P ignored
constexpr char16_t kCmdRelayEnd[] = u"[MV10001]";             // R->P end of session

// Lectern PC to pad.
constexpr char16_t kCmdPeerVersion[] = u"[MV00094]";     // version text of the lectern program
constexpr char16_t kCmdPeerGreeting[] = u"[MV00007]";    // the session is up
constexpr char16_t kCmdPeerInfo1[] = u"[MV00001]";       // accepted without effect
constexpr char16_t kCmdPeerInfo2[] = u"[MV00002]";       // accepted without effect
constexpr char16_t kCmdPeerEnd[] = u"[MV10000]";         // ends the session with a message
constexpr char16_t kCmdHeartbeat[] = u"[RH10002]";       // sign of life, at least every 40 s
constexpr char16_t kCmdScreenSize[] = u"[RH00001]";      // remote screen width, height
constexpr char16_t kCmdTileSize[] = u"[RH00007]";        // tile width, height
constexpr char16_t kCmdMonitors[] = u"[RH00009]";        // count, selected, rectangle
constexpr char16_t kCmdScreenOrigin[] = u"[RH00010]";    // virtual screen origin
constexpr char16_t kCmdIgnoredRH5[] = u"[RH00005]";      // ignored
constexpr char16_t kCmdScreenUpAck[] = u"[RH00002]";     // last screen-up frame received
constexpr char16_t kCmdBroadcastState[] = u"[RH00004]";  // 1 when broadcast is on
constexpr char16_t kCmdTouchState[] = u"[RH00003]";      // 1 when student touch is on
constexpr char16_t kCmdOpenKeyboard[] = u"[RC00007]";    // open the touch keyboard

// Pad to lectern PC.
constexpr char16_t kCmdGreetingAnswer[] = u"[RC00022]";   // "1,Reserved,Reserved"
constexpr char16_t kCmdOwnVersion[] = u"[RC00001]";       // kOwnVersion
constexpr char16_t kCmdKeepAlive[] = u"[RC00003]";        // every 10 s
constexpr char16_t kCmdRemoteStart[] = u"[RC00004]";      // remote control starts
constexpr char16_t kCmdRemoteEnd[] = u"[RC00005]";        // remote control ends
constexpr char16_t kCmdFrameAck[] = u"[RC00006]";         // frame number of a remote frame
constexpr char16_t kCmdPadScreenSize[] = u"[RC00010]";    // pad's screen width, height
constexpr char16_t kCmdSelectMonitor[] = u"[RC00023]";    // 1-based monitor number
constexpr char16_t kCmdTypedChar[] = u"[RC00014]";        // character code
constexpr char16_t kCmdInputModeToggle[] = u"[RC00015]";  // Korean/English input mode
constexpr char16_t kCmdScreenUpParams[] = u"[RC00008]";   // width, height, "full", "resize"
constexpr char16_t kCmdScreenUp[] = u"[RC00009]";         // "start" / "stop"
constexpr char16_t kCmdSoundUp[] = u"[RC00011]";          // "start" / "stop"
constexpr char16_t kCmdBroadcast[] = u"[RC00012]";        // "on" / "off"
constexpr char16_t kCmdStudentTouch[] = u"[RC00013]";     // "on" / "off"

// Fixed arguments.
constexpr char16_t kArgGreetingAnswer[] = u"1,Reserved,Reserved";
constexpr char16_t kArgStart[] = u"start";
constexpr char16_t kArgStop[] = u"stop";
constexpr char16_t kArgOn[] = u"on";
constexpr char16_t kArgOff[] = u"off";
constexpr char16_t kArgScreenUpFull[] = u"full";
constexpr char16_t kArgScreenUpResize[] = u"resize";

// Timing the pad relies on.
constexpr int kKeepAliveIntervalMs = 10000;  // the pad's "[RC00003]"
constexpr int kPeerSilenceLimitMs = 40000;   // longest the lectern PC may stay silent
