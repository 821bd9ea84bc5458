#include "transport/socket_set.h"

#include "engine/slave_engine.h"

namespace tarvik {

AnswerRoute SocketSet::CurrentRoute() const {
    if (udpMode_) {
        if (engine_ == nullptr) return {};
        const SenderKey& sender = engine_->CurrentSender();
        return AnswerRoute{0, sender.host, sender.port};
    }
    return AnswerRoute{data.Serial(), {}, 0};
}

bool SocketSet::SendUdp(const Packet& frame, const std::string& host, int32_t port) {
    return udp.SendTo(frame, host, port);
}

}  // namespace tarvik
