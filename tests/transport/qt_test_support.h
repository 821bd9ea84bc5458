// Shared pieces of the transport tests: the one application object of the
// executable and the answer most tests expect.
#pragma once

#include <QCoreApplication>

#include "testkit/raw_master.h"
#include "tests/support/qt_application.h"

namespace tarvik::testing {

inline ::testing::Environment* const kApplication = test::UseApplication<QCoreApplication>();

// The answer to a read of one holding register that holds `value`.
inline Packet ReadAnswer(int transaction, int value) {
    return Frame(transaction, 1, "\x03\x02" + PutWord(value));
}

}  // namespace tarvik::testing
