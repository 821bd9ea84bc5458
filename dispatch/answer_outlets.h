// The sockets as answer sending sees them: a frame goes to a route, or the
// route's connection is closed. The transport implements this.
#pragma once

#include <string_view>

#include "engine/answer_route.h"

namespace tarvik {

class AnswerOutlets {
public:
    virtual ~AnswerOutlets() = default;
    // True when a socket accepted the frame. A route whose connection is no
    // longer the one in use (or not connected) takes nothing: an answer
    // never reaches a master that did not ask.
    virtual bool Send(const AnswerRoute& route, std::string_view frame) = 0;
    // Closes the route's connection when it is still the one in use; what
    // was sent on it before leaves first.
    virtual void Close(const AnswerRoute& route) = 0;
};

}  // namespace tarvik
