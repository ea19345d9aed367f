// Stands in for the handheld protocol until it lands: logs the connection and returns, so the
// session thread closes it.
#include "host/connection.h"
#include "host/log.h"
#include "protocol/session_entry.h"

void RunHandheldSession(CConnection* connection, const std::string& exchangeFolder, bool syncTime) {
    LogTraffic(connection->PeerAddressText(), 0, "", "Connection accepted (no protocol yet)");
}
