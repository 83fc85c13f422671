#include "connection/SocketLink_win.h"

#include "protocol/TextCommand.h"

bool CSocketLink::IsOpen() const { return m_socket.m_hSocket != INVALID_SOCKET; }

bool CSocketLink::Send(const CPacket& packet) {
    if (!IsOpen()) return false;
    // A frame that cannot be written closes the socket.
    SendPacket(m_socket, packet);
    return IsOpen();
}

bool CSocketLink::Connect(const std::u16string& address, uint16_t port) {
    return OpenConnection(m_socket, m_hOwner, AfxToWide(address).c_str(), port) != FALSE;
}

void CSocketLink::Close() {
    if (!IsOpen()) return;
    m_socket.ShutDown(SD_BOTH);
    m_socket.Close();
}

std::u16string CSocketLink::LocalPort() const {
    std::wstring address;
    UINT port = 0;
    m_socket.GetSockName(address, port);
    return DecimalText(port);
}
