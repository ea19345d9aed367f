#include "host/connection.h"

#include "host/admission.h"

#include <cstring>

const char* CConnection::PeerAddressText() {
    std::string text = NetAddressText(peer.ip);
    std::strncpy(peerText, text.c_str(), sizeof peerText - 1);
    peerText[sizeof peerText - 1] = '\0';
    return peerText;
}

void CConnection::Release() {
    if (!socket) return;
    NetSetNonBlocking(socket, false);
    NetClose(socket);
    socket = 0;
}

CConnection::~CConnection() {
    // The slot goes first: a peer that has seen the connection end may connect again at once
    // and must not find its own finished connection still counted.
    if (admitted) admitted->Release(peer.ip);
    Release();
}
