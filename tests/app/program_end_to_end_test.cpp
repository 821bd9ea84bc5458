// The built program itself, started as a user starts it, served to masters on
// the network, and ended the two ways a script can end it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "../support/program_process.h"
#include "../support/raw_master.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;

std::string ServerIni(const std::string& localPorts) {
    return "; written by the test\r\n[General]\r\nSocketServer=1\r\nSimulatePAT=0\r\n[LocalPorts]\r\n" +
           localPorts;
}

// Holds a TCP port the way another program would.
class PortHolder {
public:
    explicit PortHolder(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd_, 1) == 0;
    }
    ~PortHolder() { ::close(fd_); }
    bool ok() const { return ok_; }

private:
    int fd_ = -1;
    bool ok_ = false;
};

TEST(ProgramEndToEnd, RawMasterReadsAndWritesAndSigtermEndsWithZero) {
    const int port = PickFreeTcpPort();
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(std::to_string(port) + "=Main\r\n"));
    ASSERT_TRUE(program.WaitUntilListening(port, 30s));

    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));
    ASSERT_TRUE(master.Send(WriteSingleRequest(1, 7, 1234)));
    EXPECT_EQ(master.ReceiveFrame(), WriteSingleRequest(1, 7, 1234));
    ASSERT_TRUE(master.Send(ReadRequest(2, 3, 6, 2)));
    EXPECT_EQ(master.ReceiveFrame(), Frame(2, 1, std::string("\x03\x04\x00\x00\x04\xD2", 6)));
    master.Close();

    EXPECT_EQ(program.Terminate(20s), 0);
}

TEST(ProgramEndToEnd, AllPortsTakenShowsTheMessageAndEndsWithOne) {
    const int taken = PickFreeTcpPort();
    PortHolder holder(taken);
    ASSERT_TRUE(holder.ok());
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(std::to_string(taken) + "=Main\r\n"));
    // The message box waits for its OK; the signal presses it.
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(program.Running()) << "the program must wait on its message";
    EXPECT_EQ(program.Terminate(20s), 1);
}

}  // namespace
}  // namespace tarvik::testing
