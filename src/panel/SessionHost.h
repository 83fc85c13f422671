// The seams between the session and the platform. The session decides; its host
// carries out what needs a window, a socket, a timer or a clock. The main dialog is the
// host in the program, a recording fake in the tests.
#pragma once

#include <cstdint>
#include <string>

class CPacket;

// One connection as the session sees it: the relay server's, the lectern PC's, or the
// remote-control session's communication window, which owns the lectern PC's
// connection while it runs.
class IPacketSender {
  public:
    virtual ~IPacketSender() = default;
    // A connection is there to send on.
    virtual bool IsOpen() const = 0;
    // Sends one packet. False when the send lost the connection: it is closed then,
    // and no close notice will follow for it.
    virtual bool Send(const CPacket& packet) = 0;
};

class ISessionLink : public IPacketSender {
  public:
    // Starts connecting; the outcome arrives as a notice. False when not even the
    // attempt could start (no socket): the time-out that follows reports it.
    virtual bool Connect(const std::u16string& address, uint16_t port) = 0;
    // Shuts the connection down in both directions and closes it; nothing when closed.
    virtual void Close() = 0;
    // The local port of the connection, in decimal.
    virtual std::u16string LocalPort() const = 0;
};

// What a log-in dialog hands back when the teacher pressed OK.
struct LoginOutcome {
    std::u16string teacherId;  // trimmed by the dialog
    std::u16string relayIp;
    std::u16string relayPort;
};

// The pad's own screen, in pixels.
struct PadScreenSize {
    int width = 0;
    int height = 0;
};

class ISessionHost {
  public:
    virtual ~ISessionHost() = default;

    // ---- connections and clock
    virtual ISessionLink& RelayLink() = 0;
    virtual ISessionLink& LecternLink() = 0;
    // The pad's private IPv4 address, as the relay server is told it.
    virtual std::u16string LocalAddress() = 0;
    // Wall-clock time in whole seconds.
    virtual long long NowSeconds() = 0;
    virtual void SetTimer(unsigned id, unsigned milliseconds) = 0;
    virtual void KillTimer(unsigned id) = 0;

    // ---- what the teacher sees
    // A text of the string table of the language in use.
    virtual std::u16string Text(unsigned id) = 0;
    // The language code of the installation ("Kor", "Eng", ...).
    virtual std::u16string LanguageCode() = 0;
    // Shows the loading window with a text and keeps the windows alive for a pause;
    // notices may arrive (and reach the session) meanwhile.
    virtual void ShowLoading(unsigned textId, unsigned pauseMs) = 0;
    virtual void HideLoading() = 0;
    // A modal message box with an OK button; returns when the teacher closed it.
    virtual void ShowMessage(const std::u16string& text) = 0;
    // Asks for the teacher ID again; false when the teacher cancelled.
    virtual bool LogIn(LoginOutcome& outcome) = 0;
    virtual void RevealPanel() = 0;
    virtual void SetButtonCheck(int buttonId, bool checked) = 0;
    virtual void ShowButton(int buttonId, bool shown) = 0;

    // ---- the program's end
    // Ends the program.
    virtual void Quit() = 0;
    // Asks the panel to close, as the close button would (with the panel shown the
    // teacher is asked first).
    virtual void RequestClose() = 0;
    // Reports the lost lectern PC connection through the message queue, so that a
    // handler halfway through its answers finishes before the session ends.
    virtual void PostConnectionLost() = 0;

    // ---- the lectern PC's screen
    virtual PadScreenSize PadScreen() = 0;
    // Re-creates the remote frame buffer with the given size.
    virtual void RecreateFrame(int width, int height) = 0;
    // Tells a running viewer to show the selected monitor; nothing without one.
    virtual void ApplyMonitorView(int monitor) = 0;
};
