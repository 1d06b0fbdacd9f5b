#include "testenv.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

namespace {
QTemporaryDir *privateDir = nullptr;
}

namespace TestEnv {

void isolate()
{
    if (privateDir)
        return;
    privateDir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/vexa-test-XXXXXX"));
    if (!privateDir->isValid())
        qFatal("cannot create a private test directory");
    const QByteArray home = privateDir->path().toLocal8Bit();
    const QByteArray config = (privateDir->path() + QStringLiteral("/config")).toLocal8Bit();
    QDir().mkpath(QString::fromLocal8Bit(config));
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
    // Our own net-snmp configuration only: no ~/.snmp of the developer.
    qputenv("SNMPCONFPATH", home);
    std::atexit([] { delete privateDir; privateDir = nullptr; });
}

QString homeDir() { return privateDir ? privateDir->path() : QString(); }

QString configDir() { return privateDir ? privateDir->path() + QStringLiteral("/config") : QString(); }

void setCrateAddress(const QString &address)
{
    QSettings s(configDir() + QStringLiteral("/Vexa Systems GmbH/vexacontrol.ini"), QSettings::IniFormat);
    s.setValue(QStringLiteral("IpAddress"), address);
    s.sync();
}

} // namespace TestEnv
