#include "transport/socket_set.h"

namespace tarvik {

bool SocketSet::SendUdp(const Packet& frame) { return Winsock_UDP.SendData(frame); }

int SocketSet::DataState() const { return Winsock_Data.State(); }

bool SocketSet::SendData(const Packet& frame) { return Winsock_Data.SendData(frame); }

}  // namespace tarvik
