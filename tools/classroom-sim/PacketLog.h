#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "EventLog.h"

class CPacket;

// Size in bytes of the frame that carries the packet on the wire.
size_t FrameSizeOf(const CPacket& packet);

// The event fields that describe one packet: type, size, and per type the decoded
// command (code, args), record counts, sound value and bytes, frame number and sizes.
std::vector<EventField> PacketFields(const CPacket& packet);

// Records a packet sent or received ("send" / "recv") on a connection of a role.
void LogPacket(CEventLog& log, const std::string& direction, const std::string& role, int conn,
               const CPacket& packet);
