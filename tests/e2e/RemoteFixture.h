// The fixture of the remote-control tests: a classroom whose lectern PC streams its
// desktop, the program logged in with its panel up, and the ways a test finds the
// viewer and the communication window, injects input and reads what the lectern saw.
#pragma once

#include "SessionFixture.h"

#include <algorithm>
#include <functional>

namespace remotetest {

using namespace sessiontest;

constexpr auto kRemoteStartTime = 30s;
constexpr int kWindowWaitMs = 20000;
constexpr char kCommCaption[] = ", Comm";
// The viewer's window class is registered at run time with a generated name.
constexpr char kViewerClassPrefix[] = "TavrelWnd:";
// Posted window messages the tests drive the viewer with.
constexpr int kWmMouseMove = 0x0200;
constexpr int kWmLButtonDown = 0x0201;
constexpr int kWmLButtonUp = 0x0202;
constexpr int kWmDisplayChange = 0x007E;
constexpr int kMkLButton = 0x0001;

inline std::string PointParam(int x, int y) { return std::to_string((y << 16) | (x & 0xFFFF)); }

// One line of "ui-driver info": the rectangle, the styles and the visibility.
struct WindowInfo {
    bool found = false;
    std::string rect;  // "left,top,right,bottom"
    unsigned long style = 0, exStyle = 0;
    bool visible = false;
};

inline WindowInfo Info(const std::string& hwnd) {
    WindowInfo w;
    RunResult r = UiDriver({"info", hwnd});
    if (r.exitCode != 0) return w;
    std::vector<std::string> f = SplitFields(r.out, ' ');
    if (f.size() != 4) return w;
    w.found = true;
    w.rect = f[0];
    w.style = std::stoul(f[1], nullptr, 16);
    w.exStyle = std::stoul(f[2], nullptr, 16);
    w.visible = f[3] == "1";
    return w;
}

// The normalised RMSE ImageMagick reports for two pictures of one size, or a negative
// value when they could not be compared.
inline double PictureDifference(const std::string& a, const std::string& b) {
    const std::string command =
        "compare -metric RMSE '" + a + "' '" + b + "' null: 2>&1 | sed -n 's/.*(\\(.*\\)).*/\\1/p'";
    RunResult r = e2e::RunTool({"sh", "-c", command});
    if (r.out.empty()) return -1;
    return std::stod(r.out);
}

// Runs xdotool on the test display: real X input that Wine turns into window messages.
inline void Xdo(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = e2e::RunTool(argv);
    ASSERT_EQ(r.exitCode, 0) << "xdotool failed";
}

class RemoteTest : public SessionTest {
  protected:
    // Logs in against a classroom whose lectern PC streams; the panel's handle.
    std::string LogInWithStreamingLectern(ClassroomOptions options = {}) {
        m_bWithMedia = true;
        StartClassroom(options);
        StartProgram();
        LogIn();
        std::string panel = WaitSessionUp();
        auto greeting = Log().WaitFor(Received("lectern", "[RC00022]"), kHandshakeTime);
        if (greeting) m_conn = greeting->Int("conn");
        return panel;
    }

    // Presses the remote-control button and waits for the start on the lectern PC and
    // for the full-screen viewer; the viewer's handle ("" when it did not show).
    std::string StartRemote(const std::string& panel) {
        const uint64_t before = Log().LastSeq();
        Press(panel, kRemoteButton);
        auto start = Log().WaitFor(Received("lectern", "[RC00004]"), kRemoteStartTime, before);
        EXPECT_TRUE(start) << "the lectern PC was not told that remote control starts";
        if (!start) return "";
        m_startSeq = start->seq;
        m_startMs = start->timeMs;
        return WaitViewer();
    }

    // The program's visible window of the generated class that covers the screen.
    std::string WaitViewer(int timeoutMs = kWindowWaitMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            RunResult list = UiDriver({"list"});
            for (const std::string& line : SplitFields(list.out, '\n')) {
                std::vector<std::string> f = SplitFields(line, '\t');
                if (f.size() >= 5 && f[1].rfind(kViewerClassPrefix, 0) == 0 && f[2].empty() &&
                    f[4] == "0,0,1024,768")
                    return f[0];
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        } while (std::chrono::steady_clock::now() < deadline);
        return "";
    }

    std::string CommWindow() {
        RunResult r = UiDriver(
            {"wait", "--all", "--title", kCommCaption, "--timeout", std::to_string(kWindowWaitMs)},
            kWindowWaitMs + 10000);
        return r.exitCode == 0 ? r.out : "";
    }

    bool WaitCommGone() {
        return UiDriver({"wait-gone", "--all", "--title", kCommCaption, "--timeout",
                         std::to_string(kWindowWaitMs)},
                        kWindowWaitMs + 10000)
                   .exitCode == 0;
    }

    bool WaitWindowGone(const std::string& hwnd, int timeoutMs = kWindowWaitMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Info(hwnd).found) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return true;
    }

    bool WaitEnabled(const std::string& panel, int id, int timeoutMs = kWindowWaitMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (UiDriver({"enabled", panel, std::to_string(id)}).out != "1") {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return true;
    }

    // Frame acknowledgements the lectern PC received after the start, in order.
    std::vector<long> FrameAcks() {
        std::vector<long> acks;
        for (const SimEvent& e : Log().Events())
            if (e.seq > m_startSeq && Received("lectern", "[RC00006]")(e))
                acks.push_back(std::stol(e.Text("args")));
        return acks;
    }

    bool WaitFrameAcks(size_t count, std::chrono::milliseconds timeout = 60s) {
        return Log().WaitForCount(Received("lectern", "[RC00006]"), count, timeout);
    }

    size_t CountReceived(const std::string& code, uint64_t afterSeq = 0) {
        size_t n = 0;
        for (const SimEvent& e : Log().Events())
            if (e.seq > afterSeq && Received("lectern", code)(e)) ++n;
        return n;
    }

    // Waits until what the lectern PC recorded satisfies the predicate. Every packet
    // it takes is logged under the record's lock, so each new event is the moment to
    // look again.
    bool WaitRecord(const std::function<bool(const LecternRecord&)>& holds, int timeoutMs = 20000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const uint64_t seen = Log().LastSeq();
            if (holds(m_classroom->Recorded())) return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            Log().WaitFor([](const SimEvent&) { return true; }, left, seen);
        }
    }

    // Waits for a mouse record of this message at this lectern point.
    bool WaitMouse(int message, int x, int y, int timeoutMs = 20000) {
        return WaitRecord(
            [=](const LecternRecord& r) {
                return std::any_of(r.mouse.begin(), r.mouse.end(), [=](const MouseEventRecord& m) {
                    return m.message == message && m.x == x && m.y == y;
                });
            },
            timeoutMs);
    }

    // What the lectern PC recorded of the input, for a failure's message.
    std::string InputSeen() {
        std::ostringstream out;
        const LecternRecord r = m_classroom->Recorded();
        out << "keys:";
        for (const KeyEventRecord& k : r.keys)
            out << " (" << k.message << "," << k.key << "," << k.repeat << ",0x" << std::hex
                << k.flags << std::dec << ")";
        out << "\nmouse:";
        for (const MouseEventRecord& m : r.mouse)
            out << " (" << m.message << "," << m.x << "," << m.y << "," << m.wheel << ")";
        return out.str();
    }

    int64_t m_conn = -1;      // the lectern connection of the session
    uint64_t m_startSeq = 0;  // the event of "[RC00004]"
    int64_t m_startMs = 0;
};

}  // namespace remotetest
