#pragma once

#include "PortHolder.h"
#include "VirtualBoard.h"

#include <QtTest>

// Makes sure the library is loaded before the test starts: under ctest LD_PRELOAD is already
// set; started by hand, the test runs itself again with the library preloaded. It also serves
// as the program of a PortHolder, and writes single frames for the tests of virtualboard-run.
int virtualBoardPrepare(int argc, char **argv);
// --virtualboard-frame DEVICE BITS: one frame through the real serial component, bit n-1 for
// channel n.
int virtualBoardWriteFrame(int argc, char **argv);

#define VIRTUALBOARD_TEST_MAIN(TestObject)                                                         \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (argc == 3 && qstrcmp(argv[1], "--virtualboard-hold") == 0)                             \
            return PortHolder::hold(argc, argv);                                                   \
        if (argc == 4 && qstrcmp(argv[1], "--virtualboard-frame") == 0)                            \
            return virtualBoardWriteFrame(argc, argv);                                             \
        virtualBoardPrepare(argc, argv);                                                           \
        QCoreApplication app(argc, argv);                                                          \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
