#pragma once
// Test process isolation: every test executable gets a private HOME and settings
// directory before any Qt object exists, so no test reads or writes the real
// user's settings, profiles or address lock.

#include <QString>
#include <QtTest>

namespace TestEnv {

// Creates a private directory and points HOME and XDG_CONFIG_HOME at it.
// Must run before the Q*Application is constructed. Idempotent.
void isolate();

// The private directory made by isolate().
QString homeDir();
QString configDir();

// Writes the operator store's "IpAddress" so that programs and controllers
// constructed afterwards connect to a loopback crate.
void setCrateAddress(const QString &address);

} // namespace TestEnv

// Like QTEST_MAIN / QTEST_GUILESS_MAIN, with the environment isolated first.
#define VEXA_TEST_MAIN(TestObject)                                                                           \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestEnv::isolate();                                                                                  \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#define VEXA_TEST_GUILESS_MAIN(TestObject)                                                                   \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestEnv::isolate();                                                                                  \
        QCoreApplication app(argc, argv);                                                                    \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
