#include "protocol/session_entry.h"

#include "host/connection.h"
#include "host/service.h"
#include "protocol/device_sessions.h"
#include "protocol/protocol.h"
#include "protocol/rdwr.h"

void RunHandheldSession(CConnection* connection, const std::string& exchangeFolder, bool syncTime) {
    CServerRdWr rdwr(connection);
    CProtocol protocol(&rdwr, connection->PeerAddressText());
    protocol.SetDevices(config.Devices());  // a reload during the session does not touch it
    protocol.SetSessionRegister(&DeviceSessions::Service(), connection->socket, rdwr.CancelFlag());
    protocol.RunSession(exchangeFolder, syncTime);
}
