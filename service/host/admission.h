// Which connections the service takes on: at most so many in all and from one peer address,
// and refusals from one address summarised in the log instead of one line each.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "service_params.h"

class Admission {
public:
    void SetLimits(const ConnectionLimits& l);
    ConnectionLimits Limits();
    // True (and counted) when one more connection from `ip` stays within the limits.
    bool Admit(std::uint32_t ip);
    void Release(std::uint32_t ip);
    int Total();

    static Admission& Service();  // the running service's

private:
    std::mutex lock;
    ConnectionLimits limits;
    std::map<std::uint32_t, std::uint32_t> perAddress;
    std::uint32_t total = 0;
};

// Whether a refusal of `address` gets its own log line: the first five of an interval do; the
// rest of the interval are counted and written as one line ("N more refusals from ...") with
// the first refusal after it, so a flood adds a bounded number of lines.
bool LogRefusalNow(const std::string& address);
// Writes the summaries still pending (at stop) and forgets every window.
void FlushRefusals();
// The interval, for tests (60 s by default).
void SetRefusalInterval(int seconds);
