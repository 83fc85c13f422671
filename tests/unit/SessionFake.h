// A host for the session that records what the session asks of it, with fake
// connections, a fake clock and fake timers that fire as the clock advances.
#pragma once

#include "panel/SessionHost.h"
#include "panel/TavrelSession.h"
#include "protocol/Packet.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sessionfake {

inline std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

inline std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// One connection: what was sent on it, and whether the next send loses it.
class FakeLink : public ISessionLink {
  public:
    FakeLink(const char* name, std::vector<std::string>& log) : m_name(name), m_log(log) {}

    bool IsOpen() const override { return open; }
    bool Send(const CPacket& packet) override {
        if (!open) return false;
        if (loseOnSend) {
            open = false;
            m_log.push_back(m_name + " lost on send");
            return false;
        }
        sent.push_back(Narrow(packet.m_strText));
        return true;
    }
    bool Connect(const std::u16string& address, uint16_t port) override {
        m_log.push_back(m_name + " connect " + Narrow(address) + ":" + std::to_string(port));
        if (!canConnect) return false;
        open = true;
        return true;
    }
    void Close() override {
        if (open) m_log.push_back(m_name + " close");
        open = false;
    }
    std::u16string LocalPort() const override { return u"50123"; }

    bool open = false;
    bool canConnect = true;
    bool loseOnSend = false;
    std::vector<std::string> sent;

  private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

class FakeHost : public ISessionHost {
  public:
    ISessionLink& RelayLink() override { return relay; }
    ISessionLink& LecternLink() override { return lectern; }
    std::u16string LocalAddress() override { return u"192.168.0.20"; }
    long long NowSeconds() override { return kEpochSeconds + nowMs / 1000; }
    void SetTimer(unsigned id, unsigned milliseconds) override {
        timers[id] = Timer{milliseconds, nowMs + milliseconds};
        log.push_back("timer " + std::to_string(id) + " " + std::to_string(milliseconds));
    }
    void KillTimer(unsigned id) override { timers.erase(id); }

    std::u16string Text(unsigned id) override { return u"T" + Wide(std::to_string(id)); }
    std::u16string LanguageCode() override { return language; }
    void ShowLoading(unsigned textId, unsigned pauseMs) override {
        log.push_back("loading " + std::to_string(textId));
        loadingShown = true;
        // The pause keeps the windows alive: time passes, and timers may fire.
        Advance(pauseMs);
    }
    void HideLoading() override { loadingShown = false; }
    void ShowMessage(const std::u16string& text) override {
        log.push_back("message " + Narrow(text));
        messages.push_back(Narrow(text));
        if (onMessage) onMessage();
    }
    bool LogIn(LoginOutcome& outcome) override {
        ++logIns;
        log.push_back("log-in");
        if (logIns > static_cast<int>(logins.size())) return false;
        outcome = logins[logIns - 1];
        return true;
    }
    void RevealPanel() override {
        panelShown = true;
        log.push_back("panel");
    }
    void SetButtonCheck(int buttonId, bool checked) override { checks[buttonId] = checked; }
    void ShowButton(int buttonId, bool shown) override { shownButtons[buttonId] = shown; }
    void Quit() override {
        ++quits;
        log.push_back("quit");
    }
    void RequestClose() override {
        ++closeRequests;
        log.push_back("close request");
    }
    void PostConnectionLost() override { ++lostPosts; }
    PadScreenSize PadScreen() override { return pad; }
    void RecreateFrame(int width, int height) override {
        frames.push_back(std::to_string(width) + "x" + std::to_string(height));
    }
    void ApplyMonitorView(int monitor) override { monitorViews.push_back(monitor); }

    // Moves the clock on, firing every timer that falls due on the way, in order.
    void Advance(unsigned milliseconds) {
        const long long end = nowMs + milliseconds;
        while (session != nullptr) {
            auto next = std::min_element(timers.begin(), timers.end(), [](auto& a, auto& b) {
                return a.second.due < b.second.due;
            });
            if (next == timers.end() || next->second.due > end) break;
            const unsigned id = next->first;
            nowMs = next->second.due;
            next->second.due += next->second.period;
            session->OnTimer(id);
        }
        nowMs = end;
    }
    bool Armed(unsigned id) const { return timers.count(id) != 0; }
    bool Logged(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }

    static constexpr long long kEpochSeconds = 1700000000;
    struct Timer {
        unsigned period;
        long long due;
    };

    std::vector<std::string> log;
    FakeLink relay{"relay", log};
    FakeLink lectern{"lectern", log};
    CTavrelSession* session = nullptr;
    long long nowMs = 0;
    std::map<unsigned, Timer> timers;
    std::u16string language = u"Kor";
    std::vector<LoginOutcome> logins{{u"teacher01", u"10.0.0.1", u"7000"}};
    int logIns = 0;
    bool loadingShown = false;
    bool panelShown = false;
    std::vector<std::string> messages;
    std::function<void()> onMessage;
    int quits = 0;
    int closeRequests = 0;
    int lostPosts = 0;
    PadScreenSize pad{1920, 1080};
    std::map<int, bool> checks;
    std::map<int, bool> shownButtons;
    std::vector<std::string> frames;
    std::vector<int> monitorViews;
};

}  // namespace sessionfake
