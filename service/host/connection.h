// One accepted TCP connection of a handheld.
#pragma once
#include <cstdint>
#include "platform/net.h"

class Admission;

class CConnection {
public:
    NetAddress peer;              // filled by accept
    NetAddress listener;          // copied from the listener entry
    NetSocket socket = 0;         // 0 = none
    std::int32_t timeoutSec = 0;  // time-out as whole seconds ...
    std::int32_t timeoutUsec = 0; // ... and microseconds
    char peerText[32] = {};
    Admission* admitted = nullptr;  // counted there; released with the connection

    ~CConnection();
    void SetSocket(NetSocket s) { socket = s; }
    void SetTimeout(int ms) { timeoutSec = ms / 1000; timeoutUsec = (ms % 1000) * 1000; }
    const char* PeerAddressText();     // fills peerText with the dotted peer address
    std::uint16_t PeerPort() const { return peer.port; }
    void Release();                    // back to blocking mode, close, socket = 0
};
