#include "bench/load/register_priming.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "bench/load/answer_checker.h"
#include "bench/load/loopback_socket.h"
#include "testkit/mbap_framer.h"
#include "testkit/request_frames.h"

namespace tarvik::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Sends one request and waits for its whole answer; the answer, or an error.
bool Exchange(int fd, const Packet& request, int timeoutMs, Packet& answer, std::string& error) {
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        error = "sending a priming write failed";
        return false;
    }
    testing::MbapFramer framer(kMaxAnswerLength);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[1024];
    while (true) {
        std::string_view frame;
        const testing::MbapFramer::Step step = framer.Next(frame);
        if (step == testing::MbapFramer::Step::Frame) {
            answer.assign(frame);
            return true;
        }
        if (step == testing::MbapFramer::Step::BadLength) {
            error = "priming write answered with a bad length field";
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            error = "priming write not answered within " + std::to_string(timeoutMs) + " ms";
            return false;
        }
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0 && !(n < 0 && errno == EINTR)) {
            error = "connection lost while priming";
            return false;
        }
        if (n > 0) framer.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
}

}  // namespace

std::vector<int32_t> PrimedReadValues(const RequestShape& shape) {
    std::vector<int32_t> values(static_cast<std::size_t>(shape.quantity), -1);
    for (int i = 0; i < shape.quantity; ++i) {
        const int address = shape.start + i;
        if (address < kTableSize) values[static_cast<std::size_t>(i)] = PrimedValue(address);
    }
    return values;
}

PrimeResult PrimeHoldingRegisters(const LoadOptions& options) {
    PrimeResult result;
    const int end = std::min(options.shape.start + options.shape.quantity, kTableSize);
    const int fd = ConnectToTarget(options, result.error);
    if (fd < 0) return result;

    int transactionId = 0xF000;  // apart from the run's own identifiers
    for (int from = options.shape.start; from < end; from += kMaxWriteQuantity) {
        const int count = std::min(kMaxWriteQuantity, end - from);
        std::vector<int32_t> values(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = PrimedValue(from + i);
        const Packet request =
            testing::WriteValuesRequest(transactionId++, from, values, options.shape.unit);
        Packet answer;
        if (!Exchange(fd, request, options.timeoutMs, answer, result.error)) break;
        const AnswerFault fault = CheckAnswer(request, answer, {});
        if (fault != AnswerFault::None) {
            result.error = "priming write answered with a wrong " + std::string(FaultName(fault));
            break;
        }
    }
    close(fd);
    if (result.error.empty()) result.knownValues = PrimedReadValues(options.shape);
    return result;
}

}  // namespace tarvik::bench
