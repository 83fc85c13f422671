#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EventLog.h"
#include "TcpListener.h"

// How the simulated relay server behaves towards a pad.
enum class RelayMode {
    kNormal,      // "[UR00001]0,..." then, after a good "[US00001]", "[UR00002]" to the lectern
    kRefuse,      // "[UR00001]" with a non-zero status and RelayOptions::refusalMessage
    kSilent,      // accepts the connection and never says a word
    kEndSession,  // answers "[US00001]" with "[MV10001]" instead of the lectern's address
    kSilentAfterIdentity,  // asks for identification, then never answers it
    kHangUpAfterIdentity,  // asks for identification, then hangs up without an answer
};

struct RelayOptions {
    uint16_t port = 0;  // 0 picks a free port
    RelayMode mode = RelayMode::kNormal;
    std::u16string refusalStatus = u"1";
    std::u16string refusalMessage = u"일치하는 선생님 정보를 찾을 수 없습니다.";
    // With kRefuse: only the first this many connections are refused, later ones are
    // served normally; 0 refuses every connection.
    int refusedConnections = 0;
    // With kRefuse: hang up right after sending the refusal.
    bool hangUpAfterRefusal = false;
    // Fields of "[UR00001]": 2 or 6 are what a pad takes; anything else is malformed.
    int identifyFieldCount = 2;
    // Fields of "[UR00002]": 7 is what a pad takes; anything else is malformed.
    int addressFieldCount = 7;
    // Wraps every field of "[UR00002]" in double quotes (the pad removes them).
    bool quoteAddressFields = false;
    // Sends "[USP0002]" and "[UDPINFO]" around every real command.
    bool noise = false;
    // The teacher ID the pad must give; empty accepts any non-empty ID.
    std::u16string expectedTeacherId;
    // Where "[UR00002]" points.
    std::u16string lecternAddress = u"127.0.0.1";
    uint16_t lecternPort = 0;
};

// Outcome of checking one "[US00001]" against what the pad must send.
struct IdentityCheck {
    bool ok = false;
    std::vector<std::string> problems;  // one line per field that is wrong
    std::u16string teacherId;
    std::u16string address;
    std::u16string port;
    std::u16string version;
};

// Checks the argument text of "[US00001]" from a pad whose relay connection has the
// given source port: 3, teacher ID, private IPv4 address, that port, "3.0.1.1004", 1,
// "Reserved", "Reserved".
IdentityCheck CheckIdentity(const std::u16string& arguments, uint16_t sourcePort,
                            const std::u16string& expectedTeacherId);

// The relay server of the classroom: asks each pad to identify itself and tells it
// where the lectern PC is. Events: role "relay"; "identity" with ok and problems.
class CRelayServer {
  public:
    CRelayServer(RelayOptions options, CEventLog& log);
    ~CRelayServer();
    CRelayServer(const CRelayServer&) = delete;
    CRelayServer& operator=(const CRelayServer&) = delete;

    bool Start();
    void Stop();
    uint16_t Port() const { return m_listener.Port(); }
    // Changes where "[UR00002]" points (for pads that connect later).
    void SetLectern(const std::u16string& address, uint16_t port);

  private:
    void Serve(std::shared_ptr<CSocketConnection> connection);
    bool Send(CSocketConnection& c, int conn, const std::u16string& text);
    void SendNoise(CSocketConnection& c, int conn);
    std::u16string IdentifyRequest(bool refuse) const;
    std::u16string AddressAnswer() const;

    RelayOptions m_options;
    CEventLog& m_log;
    CTcpListener m_listener;
    std::atomic<int> m_nNextConn{1};
};
