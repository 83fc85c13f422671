#include "RelayServer.h"

#include <algorithm>

#include "PacketLog.h"
#include "TextConvert.h"
#include "protocol/Packet.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

namespace {

constexpr char kRole[] = "relay";
constexpr char16_t kStatusOk[] = u"0";
constexpr char16_t kIdentifyMessage[] = u"OK";
constexpr char16_t kReserved[] = u"Reserved";
constexpr char16_t kClientTypePad[] = u"3";
constexpr char16_t kIdentityFlag[] = u"1";
constexpr size_t kIdentityFieldCount = 8;
constexpr int kIPv4Parts = 4;
constexpr int kMaxIPv4Part = 255;
constexpr char16_t kNoiseArguments[] = u"0,127.0.0.1,0";
// Fields of a normal "[UR00002]" other than the address (5th) and port (6th).
constexpr char16_t kAddressFiller[] = u"0";

bool IsDecimal(const std::u16string& s) {
    if (s.empty()) return false;
    for (char16_t c : s)
        if (c < u'0' || c > u'9') return false;
    return true;
}

bool IsIPv4(const std::u16string& s) {
    int parts = 0;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(u'.', start);
        if (end == std::u16string::npos) end = s.size();
        std::u16string part = s.substr(start, end - start);
        if (!IsDecimal(part) || part.size() > 3 || DecimalPrefix(part) > kMaxIPv4Part) return false;
        ++parts;
        start = end + 1;
    }
    return parts == kIPv4Parts;
}

void Expect(IdentityCheck& r, bool ok, const std::string& problem) {
    if (!ok) r.problems.push_back(problem);
}

}  // namespace

IdentityCheck CheckIdentity(const std::u16string& arguments, uint16_t sourcePort,
                            const std::u16string& expectedTeacherId) {
    IdentityCheck r;
    std::vector<std::u16string> f = TokenizeArguments(arguments);
    if (f.size() != kIdentityFieldCount) {
        r.problems.push_back("expected 8 fields, got " + std::to_string(f.size()));
        return r;
    }
    r.teacherId = f[1];
    r.address = f[2];
    r.port = f[3];
    r.version = f[4];
    Expect(r, f[0] == kClientTypePad, "client type is not 3: " + ToUtf8(f[0]));
    if (expectedTeacherId.empty())
        Expect(r, !f[1].empty(), "empty teacher ID");
    else
        Expect(r, f[1] == expectedTeacherId, "teacher ID differs: " + ToUtf8(f[1]));
    Expect(r, IsIPv4(f[2]), "not an IPv4 address: " + ToUtf8(f[2]));
    Expect(r, IsDecimal(f[3]) && f[3] == DecimalText(sourcePort),
           "local port " + ToUtf8(f[3]) + " is not the connection's " + std::to_string(sourcePort));
    Expect(r, f[4] == kOwnVersion, "version is not 3.0.1.1004: " + ToUtf8(f[4]));
    Expect(r, f[5] == kIdentityFlag, "sixth field is not 1: " + ToUtf8(f[5]));
    Expect(r, f[6] == kReserved && f[7] == kReserved, "last fields are not Reserved,Reserved");
    r.ok = r.problems.empty();
    return r;
}

CRelayServer::CRelayServer(RelayOptions options, CEventLog& log)
    : m_options(std::move(options)),
      m_log(log),
      m_listener([this](std::shared_ptr<CSocketConnection> c) { Serve(std::move(c)); }) {}

CRelayServer::~CRelayServer() { Stop(); }

bool CRelayServer::Start() {
    if (!m_listener.Start(m_options.port)) return false;
    m_log.Emit("listening", {{"role", kRole}, {"port", int(m_listener.Port())}});
    return true;
}

void CRelayServer::Stop() { m_listener.Stop(); }

void CRelayServer::SetLectern(const std::u16string& address, uint16_t port) {
    // Only read by connection threads started after this call in practice; the
    // classroom sets it before any pad connects.
    m_options.lecternAddress = address;
    m_options.lecternPort = port;
}

bool CRelayServer::Send(CSocketConnection& c, int conn, const std::u16string& text) {
    CPacket p(text);
    bool ok = c.SendFrame(p);
    if (ok) LogPacket(m_log, "send", kRole, conn, p);
    return ok;
}

void CRelayServer::SendNoise(CSocketConnection& c, int conn) {
    if (!m_options.noise) return;
    Send(c, conn, std::u16string(kCmdRelayIgnoredP0002) + kNoiseArguments);
    Send(c, conn, std::u16string(kCmdRelayIgnoredUdpInfo) + kNoiseArguments);
}

std::u16string CRelayServer::IdentifyRequest(bool refuse) const {
    std::vector<std::u16string> fields{refuse ? m_options.refusalStatus : kStatusOk,
                                       refuse ? m_options.refusalMessage : kIdentifyMessage};
    while (int(fields.size()) < m_options.identifyFieldCount) fields.push_back(kReserved);
    fields.resize(size_t(std::max(0, m_options.identifyFieldCount)));
    return MakeCommand(kCmdRelayIdentify, fields);
}

std::u16string CRelayServer::AddressAnswer() const {
    std::vector<std::u16string> fields(size_t(std::max(0, m_options.addressFieldCount)),
                                       kAddressFiller);
    // The fifth and sixth fields carry the lectern PC; with fewer fields the address
    // goes where it fits, so a short answer is still recognisably one.
    if (fields.size() > 4) fields[4] = m_options.lecternAddress;
    if (fields.size() > 5) fields[5] = DecimalText(m_options.lecternPort);
    if (m_options.quoteAddressFields)
        for (auto& f : fields) f = u"\"" + f + u"\"";
    return MakeCommand(kCmdRelayPeerAddress, fields);
}

void CRelayServer::Serve(std::shared_ptr<CSocketConnection> connection) {
    CSocketConnection& c = *connection;
    int conn = m_nNextConn++;
    uint16_t peerPort = c.PeerPort();
    m_log.Emit("conn_open", {{"role", kRole},
                             {"conn", conn},
                             {"peer", c.PeerAddress() + ":" + std::to_string(peerPort)}});
    const bool refuse = m_options.mode == RelayMode::kRefuse &&
                        (m_options.refusedConnections <= 0 || conn <= m_options.refusedConnections);
    if (m_options.mode != RelayMode::kSilent) {
        SendNoise(c, conn);
        Send(c, conn, IdentifyRequest(refuse));
    }
    if (refuse && m_options.hangUpAfterRefusal) {
        m_log.Emit("conn_close", {{"role", kRole}, {"conn", conn}});
        return;
    }
    for (;;) {
        CPacket p;
        if (!ReadFrame(p, c)) break;
        LogPacket(m_log, "recv", kRole, conn, p);
        std::u16string code, args;
        if (p.m_nType != kPacketText || !SplitCommand(p.m_strText, code, args)) continue;
        if (code != kCmdPadIdentity || m_options.mode == RelayMode::kSilent) continue;
        IdentityCheck check = CheckIdentity(args, peerPort, m_options.expectedTeacherId);
        std::string problems;
        for (const auto& s : check.problems) problems += (problems.empty() ? "" : "; ") + s;
        m_log.Emit("identity", {{"role", kRole},
                                {"conn", conn},
                                {"ok", check.ok},
                                {"teacher", check.teacherId},
                                {"address", check.address},
                                {"port", check.port},
                                {"problems", problems}});
        if (refuse || m_options.mode == RelayMode::kSilentAfterIdentity) continue;
        if (m_options.mode == RelayMode::kHangUpAfterIdentity) break;
        SendNoise(c, conn);
        if (m_options.mode == RelayMode::kEndSession)
            Send(c, conn, kCmdRelayEnd);
        else
            Send(c, conn, AddressAnswer());
    }
    m_log.Emit("conn_close", {{"role", kRole}, {"conn", conn}});
}
