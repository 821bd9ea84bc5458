#include "transport/socket_set.h"

namespace tarvik {

bool SocketSet::OnItsConnection(const AnswerRoute& route) const {
    // The data socket is reused by every master: an answer whose connection
    // has gone, even to the same master coming back, would answer a request
    // the connection now in use never sent.
    return !route.udp && data.State() == SocketState::Connected &&
           data.Serial() == route.connection;
}

bool SocketSet::Send(const AnswerRoute& route, std::string_view frame) {
    if (route.udp) return udp.SendTo(frame, route.sender);
    return OnItsConnection(route) && data.SendData(frame);
}

void SocketSet::Close(const AnswerRoute& route) {
    // Whatever its state: a connection past its bound is closed even while
    // it is still being set up.
    if (!route.udp && data.Serial() == route.connection) data.Close();
}

}  // namespace tarvik
