// The main of the test programs that need a QCoreApplication on the main thread: it is the
// event thread of every event manager the tests create, and the thread on which the devices'
// parameter changes run. Programs add it with tsm_add_gtest(... QT_MAIN).
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
