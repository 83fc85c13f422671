// classroom-sim: a whole substitute classroom on 127.0.0.1 for running the pad
// against. Events go to standard output (or a file) as JSON lines; commands on
// standard input act on the open sessions.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <thread>

#include "Classroom.h"
#include "TextConvert.h"

namespace {

const char kHelp[] = R"(Usage: classroom-sim [switches]

Plays the relay server and the lectern PC program on 127.0.0.1. Each port is the one
given or, with 0 (the default), a free one; the ports are printed on standard error and
in the "listening" events. Events are written as JSON lines to standard output, or to
the file given with --log. Ends on Ctrl+C, SIGTERM or the input command "quit" (the end
of standard input does not end it, so it can run in the background).

Relay server:
  --relay-port N          port of the relay server (0: pick a free one)
  --no-relay              run the lectern PC alone
  --relay-mode MODE       normal  : "[UR00001]0,OK", then "[UR00002]" to the lectern PC
                          refuse  : "[UR00001]" with a refusal status and message
                          silent  : accept the connection, never say a word
                          end     : answer the identification with "[MV10001]"
  --refusal-status S      status of the refusal (default 1)
  --refusal-message TEXT  message of the refusal (UTF-8)
  --identify-fields N     fields of "[UR00001]" (2 or 6 are valid; default 2)
  --address-fields N      fields of "[UR00002]" (7 is valid; default 7)
  --quote-address         wrap every field of "[UR00002]" in double quotes
  --relay-noise           send "[USP0002]" and "[UDPINFO]" around every command
  --teacher-id ID         the teacher ID the pad must identify with (default: any)
  --lectern-address A     address "[UR00002]" gives for the lectern PC (127.0.0.1)

Lectern PC:
  --lectern-port N        port of the lectern PC (0: pick a free one)
  --version V             version announced with "[MV00094]" (default 3.0.1.1004;
                          e.g. 2.0.1.1027, 2.0.1.1067)
  --monitors 1|2          one full-HD monitor, or a second one to its left (origin -1280)
  --heartbeat-ms N        period of "[RH10002]" (default 5000; 0: none)
  --touch-on, --broadcast-on   initial states of student touch and broadcast
  --frame-interval-ms N   shortest time between remote frames (default 33)
  --in-flight N           remote frames sent ahead of the pad's acknowledgements (3)
  --no-media              no frame stream and no screen-up decoding (log only)
  --misbehave WHAT        none, no-greeting, silent (after the greeting),
                          close-mid-frame, bad-check-byte, type6, oversize-length,
                          lying-block
  --misbehave-on WHEN     greeting (right after the greeting, default) or remote
                          (when the pad starts remote control)

Output:
  --log FILE              append events to FILE instead of standard output
  --help                  this text

Input commands (one per line):
  end TEXT                end every session with "[MV10000]" and TEXT
  send TEXT               send a text command, e.g. "send [RC00007]"
  close                   close every lectern connection without a word
  png FILE                write the pad's screen-up picture as PNG
  quit                    stop the classroom
)";

constexpr auto kStopPoll = std::chrono::milliseconds(100);

volatile std::sig_atomic_t g_bStop = 0;

void OnSignal(int) { g_bStop = 1; }

const std::map<std::string, RelayMode> kRelayModes{{"normal", RelayMode::kNormal},
                                                   {"refuse", RelayMode::kRefuse},
                                                   {"silent", RelayMode::kSilent},
                                                   {"end", RelayMode::kEndSession}};

const std::map<std::string, LecternMisbehaviour> kMisbehaviours{
    {"none", LecternMisbehaviour::kNone},
    {"no-greeting", LecternMisbehaviour::kNoGreeting},
    {"silent", LecternMisbehaviour::kSilentAfterGreeting},
    {"close-mid-frame", LecternMisbehaviour::kCloseMidFrame},
    {"bad-check-byte", LecternMisbehaviour::kBadCheckByte},
    {"type6", LecternMisbehaviour::kType6Frame},
    {"oversize-length", LecternMisbehaviour::kOversizeLength},
    {"lying-block", LecternMisbehaviour::kLyingFrameBlock}};

bool Fail(const std::string& what) {
    std::cerr << "classroom-sim: " << what << " (see --help)\n";
    return false;
}

template <typename T>
bool Lookup(const std::map<std::string, T>& table, const std::string& key, T& out) {
    auto it = table.find(key);
    if (it == table.end()) return false;
    out = it->second;
    return true;
}

bool ParseValueSwitch(const std::string& sw, const std::string& v, ClassroomOptions& o) {
    int n = std::atoi(v.c_str());
    if (sw == "--relay-port")
        o.relay.port = uint16_t(n);
    else if (sw == "--lectern-port")
        o.lectern.port = uint16_t(n);
    else if (sw == "--relay-mode")
        return Lookup(kRelayModes, v, o.relay.mode) || Fail("bad mode " + v);
    else if (sw == "--refusal-status")
        o.relay.refusalStatus = FromUtf8(v);
    else if (sw == "--refusal-message")
        o.relay.refusalMessage = FromUtf8(v);
    else if (sw == "--identify-fields")
        o.relay.identifyFieldCount = n;
    else if (sw == "--address-fields")
        o.relay.addressFieldCount = n;
    else if (sw == "--teacher-id")
        o.relay.expectedTeacherId = FromUtf8(v);
    else if (sw == "--lectern-address")
        o.relay.lecternAddress = FromUtf8(v);
    else if (sw == "--version")
        o.lectern.version = FromUtf8(v);
    else if (sw == "--monitors")
        o.lectern.monitorCount = n;
    else if (sw == "--heartbeat-ms")
        o.lectern.heartbeatMs = n;
    else if (sw == "--frame-interval-ms")
        o.media.frameIntervalMs = n;
    else if (sw == "--in-flight")
        o.media.maxInFlight = n;
    else if (sw == "--misbehave")
        return Lookup(kMisbehaviours, v, o.lectern.misbehaviour) || Fail("bad misbehaviour " + v);
    else if (sw == "--misbehave-on") {
        if (v != "greeting" && v != "remote") return Fail("bad moment " + v);
        o.lectern.trigger = v == "remote" ? MisbehaviourTrigger::kOnRemoteStart
                                          : MisbehaviourTrigger::kAfterGreeting;
    } else if (sw == "--log")
        o.logFile = v;
    else
        return Fail("unknown switch " + sw);
    return true;
}

bool ParseFlag(const std::string& sw, ClassroomOptions& o) {
    if (sw == "--no-relay")
        o.withRelay = false;
    else if (sw == "--quote-address")
        o.relay.quoteAddressFields = true;
    else if (sw == "--relay-noise")
        o.relay.noise = true;
    else if (sw == "--touch-on")
        o.lectern.initialTouch = true;
    else if (sw == "--broadcast-on")
        o.lectern.initialBroadcast = true;
    else if (sw == "--no-media")
        o.withMedia = false;
    else
        return false;
    return true;
}

bool ParseArguments(int argc, char** argv, ClassroomOptions& o) {
    for (int i = 1; i < argc; ++i) {
        std::string sw = argv[i];
        if (ParseFlag(sw, o)) continue;
        if (i + 1 >= argc) return Fail("missing value for " + sw);
        if (!ParseValueSwitch(sw, argv[++i], o)) return false;
    }
    return true;
}

void RunCommand(const std::string& line, CClassroom& classroom) {
    size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (verb == "end")
        classroom.Lectern().EndSessions(FromUtf8(rest));
    else if (verb == "send")
        classroom.Lectern().SendToAll(FromUtf8(rest));
    else if (verb == "close")
        classroom.Lectern().CloseSessions();
    else if (verb == "png" && classroom.Media())
        std::cerr << (classroom.Media()->WriteScreenUpPng(rest) ? "written " : "not written ")
                  << rest << "\n";
    else if (verb == "quit")
        g_bStop = 1;
    else if (!verb.empty())
        std::cerr << "classroom-sim: unknown command " << verb << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
    ClassroomOptions options;
    options.logToStdout = true;
    if (!ParseArguments(argc, argv, options)) return 2;
    if (!options.logFile.empty()) options.logToStdout = false;
    CClassroom classroom(options);
    if (!classroom.Start()) {
        std::cerr << "classroom-sim: cannot start (port in use or log file not writable)\n";
        return 1;
    }
    std::cerr << "classroom-sim: relay 127.0.0.1:" << classroom.RelayPort()
              << " lectern 127.0.0.1:" << classroom.LecternPort() << "\n";
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // Input is read on its own thread so that a signal still stops the classroom.
    std::thread input([&classroom] {
        std::string line;
        while (!g_bStop && std::getline(std::cin, line)) RunCommand(line, classroom);
    });
    input.detach();
    while (!g_bStop) std::this_thread::sleep_for(kStopPoll);
    classroom.Stop();
    return 0;
}
