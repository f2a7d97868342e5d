// SPDX-License-Identifier: MIT
#pragma once

#include "VirtualBoard.h"

#include <QtTest>

// --virtualboard-frame DEVICE BITS: one frame through the real serial component, bit n-1 for
// channel n.
int virtualBoardWriteFrame(int argc, char **argv);

// A test's main(): the library is loaded before the test starts (if it still cannot be, the
// tests skip and say why). The same executable writes single frames for the tests of
// virtualboard-run.
#define VIRTUALBOARD_TEST_MAIN(TestObject)                                                         \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (argc == 4 && qstrcmp(argv[1], "--virtualboard-frame") == 0)                            \
            return virtualBoardWriteFrame(argc, argv);                                             \
        virtualBoardPrepare(argc, argv);                                                           \
        QCoreApplication app(argc, argv);                                                          \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
