// The master of the release bench. It runs on threads of its own with a
// blocking socket, so the program's event loop is the only loop measured:
// one thread sends the held requests, another reads every answer back and
// checks it frame by frame as the bytes come, keeping no more than one
// receive buffer of them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::bench {

// Every request reads `quantity` holding registers from 0; the i-th request
// carries transaction id i mod 65536.
inline constexpr int kReleaseQuantity = 127;
inline constexpr std::size_t kRequestBytes = 12;
inline constexpr std::size_t kAnswerBytes = 9 + 2 * kReleaseQuantity;

// The requests [first, first + count), back to back.
std::string ReleaseRequests(uint64_t first, uint64_t count);

// The answer to request `index` when the registers hold `registers`.
std::string ExpectedAnswer(uint64_t index, const std::vector<uint16_t>& registers);

struct ReadFigures {
    uint64_t answered = 0;    // frames read back
    uint64_t wrong = 0;       // frames that were not the expected answer
    uint64_t extraBytes = 0;  // bytes after the last expected answer
    std::string firstFault;   // what the first wrong frame was
    std::chrono::steady_clock::time_point lastByte{};
};

class ReleaseMaster {
public:
    ReleaseMaster() = default;
    ~ReleaseMaster();
    ReleaseMaster(const ReleaseMaster&) = delete;
    ReleaseMaster& operator=(const ReleaseMaster&) = delete;

    // Connects to 127.0.0.1:port; false with `error` saying why.
    bool Connect(int port, std::string& error);

    // Sends the requests [first, first + count) from a thread of its own,
    // in pieces of about a MiB, so the caller's loop keeps reading them.
    void StartSending(uint64_t first, uint64_t count);
    bool SendingDone() const { return sent_.load(); }
    bool SendFailed() const { return sendFailed_.load(); }

    // Reads `total` answers to requests 0, 1, 2... on a thread of its own,
    // checking each against `registers`, until all came or `limit` passed;
    // then listens a little longer for bytes that should not come.
    void StartReading(uint64_t total, std::vector<uint16_t> registers,
                      std::chrono::milliseconds limit);
    bool ReadingDone() const { return readDone_.load(); }
    uint64_t Answered() const { return answered_.load(); }
    // Joins the reader; call once ReadingDone, or to give up.
    ReadFigures FinishReading();

    // True when the program has sent nothing yet (peeks without waiting).
    bool NothingArrived() const;

private:
    void Read(uint64_t total, std::vector<uint16_t> registers, std::chrono::milliseconds limit);

    int fd_ = -1;
    std::thread sender_;
    std::thread reader_;
    std::atomic<bool> sent_{false};
    std::atomic<bool> sendFailed_{false};
    std::atomic<bool> readDone_{false};
    std::atomic<bool> stopReading_{false};
    std::atomic<uint64_t> answered_{0};
    ReadFigures figures_;
};

}  // namespace tarvik::bench
