#pragma once

#include <cstdint>

// A byte stream that frames are written to and read from: the TCP socket in the
// program, an in-memory stream in tests, benchmarks and fuzzing. While one frame is
// transferred nothing else may use the connection.
class IConnection {
  public:
    virtual ~IConnection() = default;

    // Receives exactly count bytes; returns count on success, anything else on failure.
    virtual int ReceiveExactly(uint8_t* buffer, int count) = 0;
    // Offers up to count bytes; returns the number taken, or -1.
    virtual int SendPiece(const uint8_t* buffer, int count) = 0;
    // Ends the connection.
    virtual void CloseConnection() = 0;
};
