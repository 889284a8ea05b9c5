#include <gtest/gtest.h>

#ifdef SONAREL_GUI_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Tests run inside a Qt application, so that posted jobs, timers and (for GUI tests) widgets work.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as the build does to discover them) needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
