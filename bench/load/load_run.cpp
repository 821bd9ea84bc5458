#include "bench/load/load_run.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>

#include "bench/load/answer_checker.h"
#include "bench/load/loopback_socket.h"
#include "testkit/mbap_framer.h"

namespace tarvik::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 64 * 1024;
// Late answers to requests already counted missing are ignored, not wrong.
constexpr std::size_t kExpiredMemory = 4096;
constexpr std::size_t kFaultSamples = 5;
constexpr auto kLongestWait = std::chrono::milliseconds(50);

struct InFlight {
    int transactionId;
    Clock::time_point sent;
    Packet request;
};

struct Connection {
    int fd = -1;
    bool alive = false;
    bool watchingWrite = false;
    testing::MbapFramer framer{kMaxAnswerLength};
    std::deque<InFlight> inFlight;  // in send order: the front is the oldest
    std::deque<int> expired;
    Packet out;  // TCP bytes a full socket buffer held back
    std::size_t outOffset = 0;
    int nextTransactionId = 1;
};

class LoadRun {
public:
    LoadRun(const LoadOptions& options, std::span<const int32_t> knownValues)
        : options_(options), known_(knownValues), readBuffer_(kReadChunk) {}

    ~LoadRun() {
        for (Connection& c : connections_) {
            if (c.fd >= 0) close(c.fd);
        }
        if (epoll_ >= 0) close(epoll_);
    }

    LoadRun(const LoadRun&) = delete;
    LoadRun& operator=(const LoadRun&) = delete;

    LoadResult Run();

private:
    bool Open();
    bool Tcp() const { return options_.transport == Transport::Tcp; }
    void Refill(Connection& c);
    void SendTcp(Connection& c);
    void ReadTcp(Connection& c);
    void ReadUdp(Connection& c);
    void HandleFrame(Connection& c, std::string_view frame, Clock::time_point at);
    void Expire(Connection& c, Clock::time_point now);
    void Drop(Connection& c);
    void WatchWrite(Connection& c, bool on);
    void CountWrong(std::string text);

    const LoadOptions& options_;
    std::span<const int32_t> known_;
    std::vector<char> readBuffer_;
    std::vector<Connection> connections_;
    int epoll_ = -1;
    LoadResult result_;
};

bool LoadRun::Open() {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ < 0) {
        result_.error = "epoll_create1 failed";
        return false;
    }
    connections_.resize(static_cast<std::size_t>(options_.connections));
    for (std::size_t i = 0; i < connections_.size(); ++i) {
        Connection& c = connections_[i];
        c.fd = ConnectToTarget(options_, result_.error);
        if (c.fd < 0 || !SetNonBlocking(c.fd)) return false;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = static_cast<uint32_t>(i);
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, c.fd, &event) != 0) {
            result_.error = "epoll_ctl failed";
            return false;
        }
        c.alive = true;
    }
    return true;
}

void LoadRun::WatchWrite(Connection& c, bool on) {
    if (c.watchingWrite == on) return;
    epoll_event event{};
    event.events = on ? (EPOLLIN | EPOLLOUT) : EPOLLIN;
    event.data.u32 = static_cast<uint32_t>(&c - connections_.data());
    epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &event);
    c.watchingWrite = on;
}

void LoadRun::CountWrong(std::string text) {
    ++result_.wrong;
    if (result_.faults.size() < kFaultSamples) result_.faults.push_back(std::move(text));
}

// Tops the connection up to `depth` requests in flight, all in one write
// (TCP) or one sendmmsg (UDP).
void LoadRun::Refill(Connection& c) {
    if (!c.alive || c.outOffset < c.out.size()) return;
    if (options_.batch && !c.inFlight.empty()) return;
    const uint64_t left = options_.count - result_.sent;
    const std::size_t room = static_cast<std::size_t>(options_.depth) - c.inFlight.size();
    const std::size_t batch = static_cast<std::size_t>(std::min<uint64_t>(left, room));
    if (batch == 0) {
        if (!Tcp()) WatchWrite(c, false);
        return;
    }

    const Clock::time_point now = Clock::now();
    const std::size_t first = c.inFlight.size();
    for (std::size_t i = 0; i < batch; ++i) {
        const int id = c.nextTransactionId;
        c.nextTransactionId = (c.nextTransactionId + 1) & 0xFFFF;
        c.inFlight.push_back({id, now, BuildRequest(options_.shape, id, result_.sent + i)});
    }

    if (Tcp()) {
        c.out.clear();
        c.outOffset = 0;
        for (std::size_t i = first; i < c.inFlight.size(); ++i) c.out += c.inFlight[i].request;
        result_.sent += batch;
        SendTcp(c);
        return;
    }

    std::vector<iovec> parts(batch);
    std::vector<mmsghdr> messages(batch);
    for (std::size_t i = 0; i < batch; ++i) {
        Packet& request = c.inFlight[first + i].request;
        parts[i] = {request.data(), request.size()};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int sentNow = sendmmsg(c.fd, messages.data(), static_cast<unsigned>(batch), 0);
    const std::size_t accepted = sentNow > 0 ? static_cast<std::size_t>(sentNow) : 0;
    // Datagrams the socket did not take are taken back and sent again later.
    c.inFlight.erase(c.inFlight.begin() + static_cast<std::ptrdiff_t>(first + accepted),
                     c.inFlight.end());
    c.nextTransactionId = (c.nextTransactionId - static_cast<int>(batch - accepted)) & 0xFFFF;
    result_.sent += accepted;
    if (sentNow < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) {
        Drop(c);
        return;
    }
    WatchWrite(c, accepted < batch);
}

void LoadRun::SendTcp(Connection& c) {
    while (c.outOffset < c.out.size()) {
        const ssize_t n =
            send(c.fd, c.out.data() + c.outOffset, c.out.size() - c.outOffset, MSG_NOSIGNAL);
        if (n > 0) {
            c.outOffset += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            WatchWrite(c, true);
            return;
        }
        Drop(c);
        return;
    }
    c.out.clear();
    c.outOffset = 0;
    WatchWrite(c, false);
}

void LoadRun::ReadTcp(Connection& c) {
    while (c.alive) {
        const ssize_t n = recv(c.fd, readBuffer_.data(), readBuffer_.size(), 0);
        if (n == 0) return Drop(c);  // the target closed the connection
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) Drop(c);
            return;
        }
        const Clock::time_point at = Clock::now();
        c.framer.Feed(std::string_view(readBuffer_.data(), static_cast<std::size_t>(n)));
        std::string_view frame;
        testing::MbapFramer::Step step;
        while ((step = c.framer.Next(frame)) == testing::MbapFramer::Step::Frame)
            HandleFrame(c, frame, at);
        if (step == testing::MbapFramer::Step::BadLength) {
            // Nothing after a bad length field can be told apart any more.
            CountWrong("answer with a length field out of range; connection given up");
            return Drop(c);
        }
        // A short read drained the socket; epoll says so again if more came.
        if (static_cast<std::size_t>(n) < readBuffer_.size()) return;
    }
}

void LoadRun::ReadUdp(Connection& c) {
    while (c.alive) {
        const ssize_t n = recv(c.fd, readBuffer_.data(), readBuffer_.size(), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A refused datagram means nothing listens there: give up.
            if (errno != EAGAIN && errno != EWOULDBLOCK) Drop(c);
            return;
        }
        const Clock::time_point at = Clock::now();
        c.framer.Reset();
        c.framer.Feed(std::string_view(readBuffer_.data(), static_cast<std::size_t>(n)));
        std::string_view frame;
        testing::MbapFramer::Step step;
        while ((step = c.framer.Next(frame)) == testing::MbapFramer::Step::Frame)
            HandleFrame(c, frame, at);
        if (step == testing::MbapFramer::Step::BadLength) {
            CountWrong("datagram with a length field out of range");
        } else if (c.framer.Buffered() > 0) {
            CountWrong("datagram ending in a partial frame");
        }
    }
}

void LoadRun::HandleFrame(Connection& c, std::string_view frame, Clock::time_point at) {
    const int id =
        256 * static_cast<unsigned char>(frame[0]) + static_cast<unsigned char>(frame[1]);
    const auto match = std::find_if(c.inFlight.begin(), c.inFlight.end(),
                                    [id](const InFlight& f) { return f.transactionId == id; });
    if (match == c.inFlight.end()) {
        if (std::find(c.expired.begin(), c.expired.end(), id) == c.expired.end()) {
            CountWrong("answer with transaction identifier " + std::to_string(id) +
                       " that no request has");
        }
        return;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(at - match->sent);
    result_.latency.Record(static_cast<uint64_t>(std::max<int64_t>(0, waited.count())));
    const AnswerFault fault = CheckAnswer(match->request, frame, known_);
    if (fault == AnswerFault::None) {
        ++result_.ok;
    } else {
        CountWrong("answer to transaction " + std::to_string(id) + ": wrong " +
                   std::string(FaultName(fault)));
    }
    c.inFlight.erase(match);
}

void LoadRun::Expire(Connection& c, Clock::time_point now) {
    const auto limit = std::chrono::milliseconds(options_.timeoutMs);
    while (!c.inFlight.empty() && now - c.inFlight.front().sent > limit) {
        ++result_.missing;
        c.expired.push_back(c.inFlight.front().transactionId);
        if (c.expired.size() > kExpiredMemory) c.expired.pop_front();
        c.inFlight.pop_front();
    }
}

void LoadRun::Drop(Connection& c) {
    result_.missing += c.inFlight.size();
    c.inFlight.clear();
    c.alive = false;
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
}

LoadResult LoadRun::Run() {
    if (!Open()) return std::move(result_);

    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(options_.seconds));
    for (Connection& c : connections_) Refill(c);

    std::vector<epoll_event> events(connections_.size());
    while (true) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) break;
        bool anyAlive = false;
        bool anyInFlight = false;
        for (const Connection& c : connections_) {
            anyAlive = anyAlive || c.alive;
            anyInFlight = anyInFlight || !c.inFlight.empty();
        }
        if (!anyInFlight && (!anyAlive || result_.sent >= options_.count)) break;

        const auto wait = std::min<Clock::duration>(deadline - now, kLongestWait);
        const int waitMs =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        const int ready =
            epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), std::max(1, waitMs));
        for (int i = 0; i < ready; ++i) {
            Connection& c = connections_[events[static_cast<std::size_t>(i)].data.u32];
            const uint32_t what = events[static_cast<std::size_t>(i)].events;
            if (c.alive && (what & (EPOLLIN | EPOLLERR | EPOLLHUP))) {
                Tcp() ? ReadTcp(c) : ReadUdp(c);
            }
            if (c.alive && (what & EPOLLOUT) && Tcp()) SendTcp(c);
        }
        const Clock::time_point after = Clock::now();
        for (Connection& c : connections_) {
            if (!c.alive) continue;
            Expire(c, after);
            Refill(c);
        }
    }

    result_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (Connection& c : connections_) result_.missing += c.inFlight.size();
    return std::move(result_);
}

}  // namespace

LoadResult RunLoad(const LoadOptions& options, std::span<const int32_t> knownValues) {
    LoadRun run(options, knownValues);
    return run.Run();
}

}  // namespace tarvik::bench
