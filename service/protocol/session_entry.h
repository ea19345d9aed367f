// What a session thread runs on its accepted connection: the whole conversation with one
// handheld, until it ends. The connection stays owned by the caller.
#pragma once
#include <string>

class CConnection;
void RunHandheldSession(CConnection* connection, const std::string& exchangeFolder, bool syncTime);
