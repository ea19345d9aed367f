// TCP ports for tests that start a listener (the service, or a server of their own) on a number
// they must know in advance. A port is taken from a range below the system's ephemeral ports,
// so no client socket or bind to port 0 of any program is given it meanwhile, and it is held by
// a lock file shared by every test program on the machine (native and under Wine, every build
// tree), so no other test picks it until this one ends.
#pragma once
#include <cstdint>

class ReservedPort {
public:
    ReservedPort();  // fails the test when no port of the range can be had
    ~ReservedPort();
    ReservedPort(const ReservedPort&) = delete;
    ReservedPort& operator=(const ReservedPort&) = delete;

    std::uint16_t Number() const { return number_; }
    operator std::uint16_t() const { return number_; }

private:
    std::uint16_t number_ = 0;
    std::intptr_t lock_ = -1;  // the lock file: a descriptor, or a HANDLE on Windows
};
