#include "PadClient.h"

#include <poll.h>

#include "protocol/Frame.h"
#include "protocol/TextCommand.h"

CPadClient::CPadClient(uint16_t port) : m_pConnection(CSocketConnection::ConnectLoopback(port)) {}

bool CPadClient::Send(const std::u16string& text) { return Send(CPacket(text)); }

bool CPadClient::Send(const CPacket& packet) {
    return m_pConnection && m_pConnection->SendFrame(packet);
}

bool CPadClient::WaitReadable(std::chrono::milliseconds timeout) {
    pollfd p{m_pConnection->Descriptor(), POLLIN, 0};
    return poll(&p, 1, int(timeout.count())) > 0;
}

CPadClient::ReadResult CPadClient::Read(CPacket& packet, std::chrono::milliseconds timeout) {
    packet.Clear();
    if (!m_pConnection || m_pConnection->IsClosed()) return ReadResult::kFailed;
    if (!WaitReadable(timeout)) return ReadResult::kSilence;
    return ReadFrame(packet, *m_pConnection) ? ReadResult::kPacket : ReadResult::kFailed;
}

std::optional<std::u16string> CPadClient::ReadCommand(const std::u16string& code,
                                                      std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        CPacket p;
        if (Read(p, left) != ReadResult::kPacket) return std::nullopt;
        std::u16string c, args;
        if (p.m_nType == kPacketText && SplitCommand(p.m_strText, c, args) && c == code)
            return args;
    }
}

std::optional<CPacket> CPadClient::ReadType(uint8_t type, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        CPacket p;
        if (Read(p, left) != ReadResult::kPacket) return std::nullopt;
        if (p.m_nType == type) return p;
    }
}

bool CPadClient::ReadUntilClosed(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        CPacket p;
        ReadResult r = Read(p, left);
        if (r == ReadResult::kFailed) return true;
        if (r == ReadResult::kSilence) return false;
    }
}

bool CPadClient::StaysSilent(std::chrono::milliseconds period) {
    CPacket p;
    return Read(p, period) == ReadResult::kSilence;
}
