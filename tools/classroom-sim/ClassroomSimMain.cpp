// classroom-sim: a whole substitute classroom on 127.0.0.1 for running the pad
// against. Events go to standard output (or a file) as JSON lines; commands on
// standard input act on the open sessions.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Classroom.h"
#include "TextConvert.h"
#include "web/UpdateSwitches.h"

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
                          mute-after-id : ask for identification, never answer it
                          hang-up-after-id : ask for identification, then hang up
  --refusal-status S      status of the refusal (default 1)
  --refusal-message TEXT  message of the refusal (UTF-8)
  --refuse-first N        refuse only the first N connections, serve later ones (0: all)
  --hang-up-after-refusal hang up right after sending the refusal
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
  --frame-lie NAME        remote frames whose block lies: none, tile-count-too-high,
                          tile-count-huge, image-length-too-long, block-length-wrong,
                          index-out-of-range, uncompressed-too-short,
                          uncompressed-huge, bad-zlib, no-tiles, bad-jpeg,
                          negative-index
  --lie-every K           only frames whose number is a multiple of K lie (0, the
                          default: every frame); the next honest frame carries their tiles
  --static-screen         the desktop stands still: one full frame, then frames only
                          when something changes (heartbeats go on)
  --omit-tile-size        leave "[RH00007]" out of the screen description
  --reply-to-remote-end   answer "[RC00005]" with "[RH00004]1"
  --screenup-ack-every N  acknowledge every Nth screen-up frame (default 1; 0: none)
  --screenup-ack-delay MS send each screen-up acknowledgement MS milliseconds after
                          its frame arrived, in order, while reception goes on
                          (default 0: at once)
  --reference-png FILE    at exit (and on the input command "png" without a file),
                          write the picture the pad must be showing as PNG
  --misbehave WHAT        none, no-greeting, silent (after the greeting),
                          close-mid-frame, stall-mid-frame, bad-check-byte, type6,
                          oversize-length,
                          lying-block, hang-up-after-describing (hangs up right
                          after describing its display, whatever --misbehave-on says)
  --misbehave-on WHEN     greeting (right after the greeting, default) or remote
                          (when the pad starts remote control)

Web servers (login page pointing at the relay; update pages with --update-folder):
  --web                   start the login web server (HTTP and HTTPS)
  --http-port N, --https-port N   their ports (0: pick free ones)
  --no-https              HTTP only
  --cert FILE, --key FILE certificate and key for HTTPS (scripts/make-sim-cert makes
                          them in build/sim-cert)
  --login-answer A        accept, code1, code2, unknown, no-result, 302, 404,
                          oversized (the accept lines and a megabyte of filler)
  --login-crlf            reply lines end in CR LF
  --login-quoted          reply values in double quotes
  --login-delay-ms N      a slow reply
  --update-folder DIR     serve the update pages from the files in DIR (implies --web);
                          top-level files are listed in the folder ".\"
  The update server's misbehaviours (each may be given more than once; KEY= limits a
  setting to the downloads of that key, without it it holds for every download):
  --update-refuse [KEY=]N refuse the next N downloads with a short body (-1: all)
  --update-fail PAGE=WHAT[,SCHEME]
                          PAGE server-info, file-list or download fails: WHAT none,
                          404, 500, 302 or drop (no answer); with SCHEME (https or
                          http) only over that one, so the other is served
  --update-download-fail [KEY=]WHAT   downloads fail that way (as --update-fail)
  --update-cut [KEY=]BYTES
                          announce the whole body, send only BYTES of it, then close
                          the connection (-1: off)
  --update-huge [KEY=]BYTES|limit
                          answer with a generated body of BYTES bytes instead of the
                          file; limit: 67108865, one byte over the updater's limit
                          (-1: off)
  --update-slow [KEY=]MS[,AFTER]
                          send the head and AFTER body bytes (default 0), pause MS,
                          then the rest (0: off)
  --update-extra-line LINE
                          append "file:LINE" to the file list as it is (UTF-8, sent
                          in the code page), e.g.
                          "u_tavrel,evil,x.dll,..\..\,100,해당없음,0,x.dll.new"
  --update-extra-body KEY=FILE   serve the bytes of FILE for the download key KEY
  --update-malicious NAME|all
                          append a malicious record (a u_tavrel file that is missing,
                          with a 200-byte body under the key evil_NAME, "-" written
                          "_"): climb-folder,
                          climb-slash-folder, climb-name, climb-stage, drive-folder,
                          drive-stage, colon-name, root-folder, root-stage,
                          unc-folder, device-stage, stage-is-name, and
                          X-in-folder, X-in-name, X-in-stage with X percent,
                          ampersand, pipe, less, greater, caret or bang

Output:
  --log FILE              append events to FILE instead of standard output
  --help                  this text

Input commands (one per line):
  end TEXT                end every session with "[MV10000]" and TEXT
  send TEXT               send a text command, e.g. "send [RC00007]"
  close                   close every lectern connection without a word
  png FILE                write the pad's screen-up picture as PNG
  png                     write the remote-control reference picture to the
                          --reference-png file
  reference-png FILE      write the remote-control reference picture to FILE
  screenup-stats          event "screenup_stats" (frames, bytes, ms, seconds,
                          fps_x100, bytes_per_s) over the frames since the last reset,
                          and the line "screenup-stats frames=.. ms=.. fps=..
                          bytes_per_s=.." on standard error; the rates count the frames
                          after the first over the time from the first to the last
  screenup-stats reset    start a new window (event "screenup_stats_reset")
  sound-stats             event "sound_stats" (packets, bytes, ms, rate, hz,
                          min_bytes, max_bytes, zero_chunks) over the sound chunks
                          since the last reset, and a "sound-stats ..." line on
                          standard error; rate: samples after the first chunk per
                          second from the first chunk to the last (0 with fewer than
                          2), hz: dominant pitch of all samples at 8000 samples/s
  sound-stats reset       start a new window (event "sound_stats_reset")
  update NAME VALUE       change the update server at run time as --update-NAME VALUE
                          (e.g. "update cut vantor_tavrel_exe=1000"); also
                          "update clear" (no misbehaviour, no extra line) and
                          "update reload" (read the folder again)
  update-counts           event "update_counts": requests per page (server_info,
                          file_list, download) and downloads per key ("downloads")
  quit                    stop the classroom
)";

constexpr auto kStopPoll = std::chrono::milliseconds(100);

volatile std::sig_atomic_t g_bStop = 0;

void OnSignal(int) { g_bStop = 1; }

const std::map<std::string, RelayMode> kRelayModes{
    {"normal", RelayMode::kNormal},
    {"refuse", RelayMode::kRefuse},
    {"silent", RelayMode::kSilent},
    {"end", RelayMode::kEndSession},
    {"mute-after-id", RelayMode::kSilentAfterIdentity},
    {"hang-up-after-id", RelayMode::kHangUpAfterIdentity}};

const std::map<std::string, LoginAnswer> kLoginAnswers{
    {"accept", LoginAnswer::kAccept},          {"code1", LoginAnswer::kRefuseCode1},
    {"code2", LoginAnswer::kRefuseCode2},      {"unknown", LoginAnswer::kUnknownMessage},
    {"no-result", LoginAnswer::kNoResultLine}, {"302", LoginAnswer::kStatus302},
    {"404", LoginAnswer::kStatus404},          {"oversized", LoginAnswer::kOversized}};

// Web switches that act on the servers once they exist.
struct WebSwitches {
    LoginAnswer answer = LoginAnswer::kAccept;
    bool crlf = false;
    bool quoted = false;
    int delayMs = 0;
    // Update server settings, checked when parsed and applied once it runs.
    std::vector<std::pair<std::string, std::string>> update;
} g_web;

// Where the remote-control reference picture goes ("": nowhere).
std::string g_referencePng;

const std::map<std::string, LecternMisbehaviour> kMisbehaviours{
    {"none", LecternMisbehaviour::kNone},
    {"no-greeting", LecternMisbehaviour::kNoGreeting},
    {"silent", LecternMisbehaviour::kSilentAfterGreeting},
    {"close-mid-frame", LecternMisbehaviour::kCloseMidFrame},
    {"stall-mid-frame", LecternMisbehaviour::kStallMidFrame},
    {"bad-check-byte", LecternMisbehaviour::kBadCheckByte},
    {"type6", LecternMisbehaviour::kType6Frame},
    {"oversize-length", LecternMisbehaviour::kOversizeLength},
    {"lying-block", LecternMisbehaviour::kLyingFrameBlock},
    {"hang-up-after-describing", LecternMisbehaviour::kHangUpAfterDescribing}};

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

using ValueSwitch = std::function<bool(const std::string& v, int n, ClassroomOptions& o)>;
using FlagSwitch = std::function<void(ClassroomOptions& o)>;

const std::map<std::string, ValueSwitch>& ValueSwitches() {
    static const std::map<std::string, ValueSwitch> table{
        {"--relay-port", [](auto&, int n, auto& o) { return o.relay.port = uint16_t(n), true; }},
        {"--lectern-port",
         [](auto&, int n, auto& o) { return o.lectern.port = uint16_t(n), true; }},
        {"--relay-mode",
         [](auto& v, int, auto& o) {
             return Lookup(kRelayModes, v, o.relay.mode) || Fail("bad mode " + v);
         }},
        {"--refusal-status",
         [](auto& v, int, auto& o) { return o.relay.refusalStatus = FromUtf8(v), true; }},
        {"--refusal-message",
         [](auto& v, int, auto& o) { return o.relay.refusalMessage = FromUtf8(v), true; }},
        {"--identify-fields",
         [](auto&, int n, auto& o) { return o.relay.identifyFieldCount = n, true; }},
        {"--refuse-first",
         [](auto&, int n, auto& o) { return o.relay.refusedConnections = n, n >= 0; }},
        {"--address-fields",
         [](auto&, int n, auto& o) { return o.relay.addressFieldCount = n, true; }},
        {"--teacher-id",
         [](auto& v, int, auto& o) { return o.relay.expectedTeacherId = FromUtf8(v), true; }},
        {"--lectern-address",
         [](auto& v, int, auto& o) { return o.relay.lecternAddress = FromUtf8(v), true; }},
        {"--version", [](auto& v, int, auto& o) { return o.lectern.version = FromUtf8(v), true; }},
        {"--monitors", [](auto&, int n, auto& o) { return o.lectern.monitorCount = n, true; }},
        {"--heartbeat-ms", [](auto&, int n, auto& o) { return o.lectern.heartbeatMs = n, true; }},
        {"--screenup-ack-every",
         [](auto&, int n, auto& o) { return n >= 0 && (o.lectern.screenUpAckEvery = n, true); }},
        {"--screenup-ack-delay",
         [](auto& v, int n, auto& o) {
             return (o.lectern.screenUpAckDelayMs = n) >= 0 ||
                    Fail("bad --screenup-ack-delay " + v);
         }},
        {"--frame-interval-ms",
         [](auto&, int n, auto& o) { return o.media.frameIntervalMs = n, true; }},
        {"--in-flight", [](auto&, int n, auto& o) { return o.media.maxInFlight = n, true; }},
        {"--frame-lie",
         [](auto& v, int, auto& o) {
             return FrameBlockLieFromName(v, o.media.lie) || Fail("bad frame lie " + v);
         }},
        {"--lie-every",
         [](auto& v, int n, auto& o) {
             return (o.media.lieEvery = n) >= 0 || Fail("bad --lie-every " + v);
         }},
        {"--reference-png", [](auto& v, int, auto&) { return g_referencePng = v, true; }},
        {"--misbehave",
         [](auto& v, int, auto& o) {
             return Lookup(kMisbehaviours, v, o.lectern.misbehaviour) ||
                    Fail("bad misbehaviour " + v);
         }},
        {"--misbehave-on",
         [](auto& v, int, auto& o) {
             if (v != "greeting" && v != "remote") return Fail("bad moment " + v);
             o.lectern.trigger = v == "remote" ? MisbehaviourTrigger::kOnRemoteStart
                                               : MisbehaviourTrigger::kAfterGreeting;
             return true;
         }},
        {"--log", [](auto& v, int, auto& o) { return o.logFile = v, true; }},
        {"--http-port", [](auto&, int n, auto& o) { return o.web.httpPort = n, o.withWeb = true; }},
        {"--https-port",
         [](auto&, int n, auto& o) { return o.web.httpsPort = n, o.withWeb = true; }},
        {"--cert", [](auto& v, int, auto& o) { return o.web.certFile = v, o.withWeb = true; }},
        {"--key", [](auto& v, int, auto& o) { return o.web.keyFile = v, o.withWeb = true; }},
        {"--update-folder",
         [](auto& v, int, auto& o) { return o.updateFolder = v, o.withWeb = true; }},
        {"--login-delay-ms", [](auto&, int n, auto&) { return g_web.delayMs = n, true; }},
        {"--login-answer",
         [](auto& v, int, auto&) {
             return Lookup(kLoginAnswers, v, g_web.answer) || Fail("bad answer " + v);
         }},
    };
    return table;
}

const std::map<std::string, FlagSwitch>& FlagSwitches() {
    static const std::map<std::string, FlagSwitch> table{
        {"--no-relay", [](auto& o) { o.withRelay = false; }},
        {"--quote-address", [](auto& o) { o.relay.quoteAddressFields = true; }},
        {"--relay-noise", [](auto& o) { o.relay.noise = true; }},
        {"--hang-up-after-refusal", [](auto& o) { o.relay.hangUpAfterRefusal = true; }},
        {"--touch-on", [](auto& o) { o.lectern.initialTouch = true; }},
        {"--broadcast-on", [](auto& o) { o.lectern.initialBroadcast = true; }},
        {"--no-media", [](auto& o) { o.withMedia = false; }},
        {"--static-screen", [](auto& o) { o.media.staticScreen = true; }},
        {"--omit-tile-size", [](auto& o) { o.lectern.omitTileSize = true; }},
        {"--reply-to-remote-end", [](auto& o) { o.lectern.replyToRemoteEnd = true; }},
        {"--web", [](auto& o) { o.withWeb = true; }},
        {"--no-https", [](auto& o) { o.web.https = false; }},
        {"--login-crlf", [](auto&) { g_web.crlf = true; }},
        {"--login-quoted", [](auto&) { g_web.quoted = true; }},
    };
    return table;
}

bool ParseArguments(int argc, char** argv, ClassroomOptions& o) {
    for (int i = 1; i < argc; ++i) {
        std::string sw = argv[i];
        auto flag = FlagSwitches().find(sw);
        if (flag != FlagSwitches().end()) {
            flag->second(o);
            continue;
        }
        auto value = ValueSwitches().find(sw);
        const std::string update = sw.compare(0, 9, "--update-") == 0 ? sw.substr(9) : "";
        if (value == ValueSwitches().end() && update.empty()) return Fail("unknown switch " + sw);
        if (i + 1 >= argc) return Fail("missing value for " + sw);
        std::string v = argv[++i];
        if (value == ValueSwitches().end()) {
            std::string error;
            if (UpdateSettingIsFlag(update) || !ApplyUpdateSetting(nullptr, update, v, error))
                return Fail(sw + ": " + (error.empty() ? "not a switch" : error));
            g_web.update.emplace_back(update, v);
            continue;
        }
        if (!value->second(v, std::atoi(v.c_str()), o)) return false;
    }
    return true;
}

void WriteReference(const std::string& path, CClassroom& classroom) {
    if (path.empty()) {
        std::cerr << "classroom-sim: no file for the reference picture (--reference-png)\n";
        return;
    }
    // Nothing streamed yet (or no media) leaves no picture to write.
    bool ok = classroom.Media() && classroom.Media()->WriteStreamedPng(path);
    std::cerr << (ok ? "written " : "not written ") << path << "\n";
}

// "update NAME VALUE", as the switch --update-NAME VALUE.
void RunUpdateCommand(const std::string& rest, CClassroom& classroom) {
    const size_t space = rest.find(' ');
    const std::string name = rest.substr(0, space);
    const std::string value = space == std::string::npos ? "" : rest.substr(space + 1);
    std::string error;
    if (!classroom.UpdateWeb())
        std::cerr << "classroom-sim: no update server (--update-folder)\n";
    else if (!ApplyUpdateSetting(classroom.UpdateWeb(), name, value, error))
        std::cerr << "classroom-sim: update " << name << ": " << error << "\n";
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
    else if (verb == "png" && rest.empty())
        WriteReference(g_referencePng, classroom);
    else if (verb == "png" && classroom.Media())
        std::cerr << (classroom.Media()->WriteScreenUpPng(rest) ? "written " : "not written ")
                  << rest << "\n";
    else if (verb == "reference-png")
        WriteReference(rest, classroom);
    else if (classroom.Lectern().Stats().RunCommand(verb, rest, classroom.Log(), std::cerr))
        return;
    else if (verb == "update")
        RunUpdateCommand(rest, classroom);
    else if (verb == "update-counts" && classroom.UpdateWeb())
        ReportUpdateCounts(*classroom.UpdateWeb(), classroom.Log());
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
    if (options.withWeb && options.web.https && options.web.certFile.empty()) {
        std::cerr << "classroom-sim: no --cert/--key given, so HTTP only\n";
        options.web.https = false;
    }
    CClassroom classroom(options);
    if (!classroom.Start()) {
        std::cerr << "classroom-sim: cannot start (port in use, log file not writable, or no "
                     "certificate)\n";
        return 1;
    }
    if (CLoginWebServer* login = classroom.LoginWeb()) {
        login->SetAnswer(g_web.answer);
        login->SetCrLf(g_web.crlf);
        login->SetQuotedValues(g_web.quoted);
        login->SetDelayMs(g_web.delayMs);
    }
    if (!g_web.update.empty() && !classroom.UpdateWeb())
        std::cerr << "classroom-sim: --update-... switches without --update-folder\n";
    if (CUpdateWebServer* update = classroom.UpdateWeb()) {
        std::string error;
        for (const auto& setting : g_web.update)
            ApplyUpdateSetting(update, setting.first, setting.second, error);
    }
    std::cerr << "classroom-sim: relay 127.0.0.1:" << classroom.RelayPort()
              << " lectern 127.0.0.1:" << classroom.LecternPort();
    if (classroom.WebHost())
        std::cerr << " http 127.0.0.1:" << classroom.HttpPort()
                  << " https 127.0.0.1:" << classroom.HttpsPort();
    std::cerr << "\n";
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
    if (!g_referencePng.empty()) WriteReference(g_referencePng, classroom);
    return 0;
}
