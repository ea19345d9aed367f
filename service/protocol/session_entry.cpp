#include "protocol/session_entry.h"

#include "host/admission.h"
#include "host/connection.h"
#include "host/service.h"
#include "protocol/device_sessions.h"
#include "protocol/protocol.h"
#include "protocol/rdwr.h"
#include "protocol/running_sessions.h"

void RunHandheldSession(CConnection* connection, const std::string& exchangeFolder, bool syncTime) {
    CServerRdWr rdwr(connection);
    RunningSession running(RunningSessions::Service(), &rdwr, connection->socket);
    CProtocol protocol(&rdwr, connection->PeerAddressText());
    protocol.authTimeoutSec = static_cast<int>(Admission::Service().Limits().authTimeoutSec);
    protocol.SetDevices(config.Devices());  // a reload during the session does not touch it
    protocol.SetSessionRegister(&DeviceSessions::Service(), connection->socket, rdwr.CancelFlag());
    protocol.RunSession(exchangeFolder, syncTime);
}
