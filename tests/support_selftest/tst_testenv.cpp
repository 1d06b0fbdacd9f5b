// The isolation every other test relies on: settings and home are private.
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

class TestEnvTest : public QObject
{
    Q_OBJECT
private slots:
    void settingsLandInPrivateDirectory()
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vexa Systems GmbH"),
                    QStringLiteral("vexacontrol"));
        QVERIFY2(s.fileName().startsWith(TestEnv::configDir()), qPrintable(s.fileName()));
        QVERIFY(!TestEnv::configDir().isEmpty());
    }
    void homeIsPrivate()
    {
        QCOMPARE(QDir::homePath(), TestEnv::homeDir());
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::ConfigLocation).startsWith(TestEnv::homeDir()));
    }
    void crateAddressIsWritten()
    {
        TestEnv::setCrateAddress(QStringLiteral("127.0.0.9"));
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vexa Systems GmbH"),
                    QStringLiteral("vexacontrol"));
        QCOMPARE(s.value(QStringLiteral("IpAddress")).toString(), QStringLiteral("127.0.0.9"));
    }
};

VEXA_TEST_GUILESS_MAIN(TestEnvTest)
#include "tst_testenv.moc"
