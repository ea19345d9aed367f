#include <memory>

#include "host/connection.h"
#include "host/service.h"
#include "platform/codepage.h"
#include "protocol/session_entry.h"

int SessionThread(CConnection* accepted) {
    // The accept thread has already counted this session in activeSessions. The connection
    // (its socket, its place in the limits) is released on every way out.
    std::unique_ptr<CConnection> connection(accepted);
    connection->SetTimeout(30000);
    ConfigView view = ConfigSnapshot();  // the session keeps the folder it started with
    ConsolePrintf("Connection accepted from %s:%d\n", connection->PeerAddressText(), connection->PeerPort());
    try {
        RunHandheldSession(connection.get(), view.exchangeFolder, view.syncTime);
    } catch (...) {
        // A failing session must not end the service: its connection is closed below.
    }
    ConsolePrintf("End connection\n");
    connection.reset();
    --activeSessions;
    return 0;
}
