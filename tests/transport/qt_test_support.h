// Shared pieces of the transport tests: the one application object of the
// executable, whose event loop the sockets under test and the tests' masters
// share, and the answer most tests expect.
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

#include "engine/packet.h"
#include "tests/support/raw_master.h"

namespace tarvik::testing {

struct CoreApplicationEnvironment : ::testing::Environment {
    int argc = 1;
    char name[16] = "transport_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;

    void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};
inline ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);

// The answer to a read of one holding register that holds `value`.
inline Packet ReadAnswer(int transaction, int value) {
    return Frame(transaction, 1, "\x03\x02" + PutWord(value));
}

}  // namespace tarvik::testing
