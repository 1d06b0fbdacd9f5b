// The operator store (one file for both spellings), the Settings singleton and Resolution.

#include "product.h"
#include "resolution.h"
#include "settings.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void storesLieInThePrivateDirectory();
    void operatorStoreIgnoresLetterCase_data();
    void operatorStoreIgnoresLetterCase();
    void singletonIsOneObject();
    void singletonSeesTestAddress();
    void otherStoresKeepTheirName();
    void computedFileNameMatchesSettings_data();
    void computedFileNameMatchesSettings();
    void unreadableStoreIsNamedAndLeftAlone_data();
    void unreadableStoreIsNamedAndLeftAlone();
    void resolutionDefaults();
    void resolutionFallsBackKeyByKey();
    void resolutionScopeFollowsLastKey_data();
    void resolutionScopeFollowsLastKey();
    void resolutionSaveAtLowerScope();
    void resolutionSaveFromFirmwareScope();
    void resolutionMicroSign();
    void resolutionWithoutFirmwareName();
    void resolutionUnsavableScopeKeepsValues();

private:
    static QString iniFile(const QString &application);
    static void clearResolutionStore();
};

QString TestSettings::iniFile(const QString &application)
{
    return TestEnv::configDir() + QStringLiteral("/Vexa Systems GmbH/") + application +
           QStringLiteral(".ini");
}

void TestSettings::clearResolutionStore()
{
    auto store = Settings::store(QStringLiteral("resolution"));
    store->clear();
    store->sync();
}

void TestSettings::init()
{
    clearResolutionStore();
}

void TestSettings::unreadableStoreIsNamedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("problem"); // empty: the store is usable
    QTest::newRow("good") << QByteArray("[General]\nIpAddress=127.0.0.5\n") << false << QString();
    QTest::newRow("empty") << QByteArray() << false << QString();
    QTest::newRow("comments and continued value") << QByteArray("; note\n[General]\nA=1 \\\n  2\n") << false << QString();
    QTest::newRow("NUL bytes") << QByteArray("[General]\nIpAddress=127.0.0.5\0\0\n", 30) << false << "binary data";
    QTest::newRow("binary garbage") << QByteArray::fromHex("7f454c46020101000000ff13fe") << false << "binary data";
    QTest::newRow("not UTF-8") << QByteArray("[General]\nIpAddress=\xff\xfe\n") << false << "not UTF-8";
    QTest::newRow("not settings text") << QByteArray("[General]\nthis is not a setting\n") << false << "line 2: not a settings line";
    QTest::newRow("a folder") << QByteArray() << true << "is a folder";
}

void TestSettings::unreadableStoreIsNamedAndLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, directory);
    QFETCH(QString, problem);
    const QString file = Settings::storeFileName(QStringLiteral("vexacontrol"));
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile::remove(file);
    QDir(file).removeRecursively();
    if (directory) {
        QVERIFY(QDir().mkpath(file));
    } else {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QString got = Settings::storeProblem(QStringLiteral("vexaControl"));
    if (problem.isEmpty()) {
        QVERIFY2(got.isEmpty(), qPrintable(got));
    } else {
        QVERIFY2(got.contains(problem) && got.contains(file), qPrintable(got));
        // Writing through the store leaves the file as it was; what was
        // written holds for the rest of the run.
        {
            auto store = Settings::operatorStore();
            store->setValue(QStringLiteral("IpAddress"), QStringLiteral("127.0.0.9"));
            store->sync();
        }
        QCOMPARE(Settings::operatorStore()->value(QStringLiteral("IpAddress")).toString(), QStringLiteral("127.0.0.9"));
        if (directory) {
            QVERIFY(QFileInfo(file).isDir());
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }
    QFile::remove(file);
    QDir(file).removeRecursively();
    QVERIFY(Settings::storeProblem(QStringLiteral("vexacontrol")).isEmpty());
}

void TestSettings::storesLieInThePrivateDirectory()
{
    QVERIFY(!TestEnv::configDir().isEmpty());
    const QString file = Settings::storeFileName(QStringLiteral("vexacontrol"));
    QCOMPARE(QFileInfo(file).absoluteFilePath(),
             QFileInfo(iniFile(QStringLiteral("vexacontrol"))).absoluteFilePath());
    QVERIFY(file.startsWith(TestEnv::homeDir()));
    QVERIFY(!file.startsWith(QDir::homePath() + QStringLiteral("/.config")) ||
            QDir::homePath() == TestEnv::homeDir());
}

void TestSettings::operatorStoreIgnoresLetterCase_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("reader");
    QTest::newRow("cratectl writes, crateflash reads") << "vexacontrol"
                                                       << "vexaControl";
    QTest::newRow("crateflash writes, cratectl reads") << "vexaControl"
                                                       << "vexacontrol";
    QTest::newRow("any spelling") << "VEXACONTROL"
                                  << "vexacontrol";
}

void TestSettings::operatorStoreIgnoresLetterCase()
{
    QFETCH(QString, writer);
    QFETCH(QString, reader);
    const QString value = QStringLiteral("127.0.0.%1").arg(QTest::currentDataTag()[0] == 'c' ? 7 : 8);
    {
        auto store = Settings::operatorStore(writer);
        store->setValue(QStringLiteral("DefaultHexFileName"), value);
        store->sync();
        QCOMPARE(store->status(), QSettings::NoError);
    }
    auto store = Settings::operatorStore(reader);
    QCOMPARE(store->value(QStringLiteral("DefaultHexFileName")).toString(), value);
    QCOMPARE(store->fileName(), Settings::operatorStore(writer)->fileName());
    // On disk: exactly one file, the lower-case one.
    QVERIFY(QFile::exists(iniFile(QStringLiteral("vexacontrol"))));
    QVERIFY(!QFile::exists(iniFile(QStringLiteral("vexaControl"))));
    QVERIFY(!QFile::exists(iniFile(QStringLiteral("VEXACONTROL"))));
}

void TestSettings::singletonIsOneObject()
{
    QSettings *first = Settings::settings();
    QVERIFY(first);
    QCOMPARE(Settings::settings(), first);
    Settings::instance();
    QCOMPARE(Settings::settings(), first);
    QCOMPARE(first->format(), QSettings::IniFormat);
    QCOMPARE(first->organizationName(), QStringLiteral("Vexa Systems GmbH"));
    QCOMPARE(first->applicationName(), QStringLiteral("vexacontrol"));
}

void TestSettings::singletonSeesTestAddress()
{
    TestEnv::setCrateAddress(QStringLiteral("127.0.0.9"));
    Settings::settings()->sync();
    QCOMPARE(Settings::settings()
                 ->value(QStringLiteral("IpAddress"), QString::fromLatin1(Product::DefaultIpAddress))
                 .toString(),
             QStringLiteral("127.0.0.9"));
}

void TestSettings::otherStoresKeepTheirName()
{
    QVERIFY(
        Settings::storeFileName(QStringLiteral("addresslock")).endsWith(QStringLiteral("/addresslock.ini")));
    QVERIFY(
        Settings::storeFileName(QStringLiteral("resolution")).endsWith(QStringLiteral("/resolution.ini")));
}

void TestSettings::computedFileNameMatchesSettings_data()
{
    QTest::addColumn<QString>("application");
    QTest::newRow("operator") << "vexacontrol";
    QTest::newRow("operator, flash spelling") << "vexaControl";
    QTest::newRow("address lock") << "addresslock";
    QTest::newRow("resolution") << "resolution";
}

// The address lock computes its file name without opening the store; it must be
// the file the settings library opens.
void TestSettings::computedFileNameMatchesSettings()
{
    QFETCH(QString, application);
    QCOMPARE(Settings::storeFileName(application), Settings::store(application)->fileName());
}

void TestSettings::resolutionDefaults()
{
    Resolution r;
    QCOMPARE(r.organisation(), QStringLiteral("Vexa Systems GmbH"));
    QCOMPARE(r.application(), QStringLiteral("resolution"));
    QCOMPARE(r.defaultGroupName(), QStringLiteral("default"));
    r.setSerialNumber(4711);
    r.setFirmwareName(QStringLiteral("E08F2"));
    r.load();
    QCOMPARE(r.useControllerUnits(), 1);
    QCOMPARE(r.voltageUnit(), QStringLiteral("V"));
    QCOMPARE(r.voltagePrecision(), 2);
    QCOMPARE(r.currentUnit(), QStringLiteral("mA"));
    QCOMPARE(r.currentPrecision(), 3);
    QCOMPARE(r.lowCurrentUnit(), QStringLiteral("\u00B5A"));
    QCOMPARE(r.lowCurrentPrecision(), 4);
    QCOMPARE(r.scope(), 0);
}

void TestSettings::resolutionFallsBackKeyByKey()
{
    {
        auto store = Settings::store(QStringLiteral("resolution"));
        store->setValue(QStringLiteral("4711/voltageUnit"), QStringLiteral("kV"));
        store->setValue(QStringLiteral("E08F2/voltagePrecision"), 1);
        store->setValue(QStringLiteral("E08F2/currentUnit"), QStringLiteral("uA"));
        store->setValue(QStringLiteral("default/voltageUnit"), QStringLiteral("mV"));
        store->setValue(QStringLiteral("default/currentPrecision"), QStringLiteral("06"));
        store->setValue(QStringLiteral("default/lowCurrentUnit"), QStringLiteral("nA"));
        // Another module's groups do not leak in.
        store->setValue(QStringLiteral("4712/lowCurrentPrecision"), 9);
        store->setValue(QStringLiteral("E10/useControllerUnits"), 0);
        store->sync();
    }
    Resolution r;
    r.setSerialNumber(4711);
    r.setFirmwareName(QStringLiteral("E08F2"));
    r.load();
    QCOMPARE(r.voltageUnit(), QStringLiteral("kV"));      // serial-number group
    QCOMPARE(r.voltagePrecision(), 1);                    // firmware group
    QCOMPARE(r.currentUnit(), QStringLiteral("\u00B5A")); // firmware group, micro sign
    QCOMPARE(r.currentPrecision(), 6);                    // default group, base 10
    QCOMPARE(r.lowCurrentUnit(), QStringLiteral("nA"));   // default group
    QCOMPARE(r.lowCurrentPrecision(), 4);                 // built in
    QCOMPARE(r.useControllerUnits(), 1);                  // built in
}

void TestSettings::resolutionScopeFollowsLastKey_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("scope");
    QTest::newRow("last key in serial group") << "31"
                                              << "lowCurrentPrecision" << 2;
    QTest::newRow("last key in firmware group") << "H30"
                                                << "lowCurrentPrecision" << 1;
    QTest::newRow("last key in default group") << "default"
                                               << "lowCurrentPrecision" << 0;
    QTest::newRow("only an earlier key in serial group") << "31"
                                                         << "voltageUnit" << 0;
}

void TestSettings::resolutionScopeFollowsLastKey()
{
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(int, scope);
    {
        auto store = Settings::store(QStringLiteral("resolution"));
        store->setValue(group + QLatin1Char('/') + key, QStringLiteral("5"));
        store->sync();
    }
    Resolution r;
    r.setSerialNumber(31);
    r.setFirmwareName(QStringLiteral("H30"));
    r.load();
    QCOMPARE(r.scope(), scope);
}

void TestSettings::resolutionSaveAtLowerScope()
{
    Resolution r;
    r.setSerialNumber(4711);
    r.setFirmwareName(QStringLiteral("E08F2"));
    r.setVoltageUnit(QStringLiteral("kV"));
    r.setCurrentPrecision(5);
    r.save(Resolution::SerialNumberScope);
    QCOMPARE(r.scope(), 2);
    {
        QSettings file(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("4711/voltageUnit")).toString(), QStringLiteral("kV"));
        QCOMPARE(file.value(QStringLiteral("4711/currentPrecision")).toInt(), 5);
        QVERIFY(!file.contains(QStringLiteral("default/voltageUnit")));
    }
    // The firmware group of the module survives a move from serial to default scope.
    {
        auto store = Settings::store(QStringLiteral("resolution"));
        store->setValue(QStringLiteral("E08F2/voltagePrecision"), 3);
        store->sync();
    }
    r.setVoltageUnit(QStringLiteral("V"));
    r.save(Resolution::DefaultScope);
    QCOMPARE(r.scope(), 0);
    QSettings file(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("4711"));
    QVERIFY2(file.childKeys().isEmpty(), qPrintable(file.childKeys().join(',')));
    file.endGroup();
    QCOMPARE(file.value(QStringLiteral("default/voltageUnit")).toString(), QStringLiteral("V"));
    QCOMPARE(file.value(QStringLiteral("default/currentPrecision")).toInt(), 5);
    file.beginGroup(QStringLiteral("default"));
    QCOMPARE(file.childKeys().size(), 7);
    file.endGroup();
    QCOMPARE(file.value(QStringLiteral("E08F2/voltagePrecision")).toInt(), 3);

    // A fresh object now loads from the default group.
    Resolution again;
    again.setSerialNumber(4711);
    again.setFirmwareName(QStringLiteral("E08F2"));
    again.load();
    QCOMPARE(again.voltageUnit(), QStringLiteral("V"));
    QCOMPARE(again.currentPrecision(), 5);
    QCOMPARE(again.scope(), 0);
}

void TestSettings::resolutionSaveFromFirmwareScope()
{
    Resolution r;
    r.setSerialNumber(77);
    r.setFirmwareName(QStringLiteral("E08F2"));
    r.save(Resolution::FirmwareScope);
    r.save(Resolution::SerialNumberScope); // going up removes nothing
    QSettings file(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("E08F2/voltageUnit")).toString(), QStringLiteral("V"));
    QCOMPARE(file.value(QStringLiteral("77/voltageUnit")).toString(), QStringLiteral("V"));
    file.sync();

    Resolution down;
    down.setSerialNumber(77);
    down.setFirmwareName(QStringLiteral("E08F2"));
    down.load();
    QCOMPARE(down.scope(), 2);
    down.save(Resolution::FirmwareScope); // leaves the serial-number group
    QSettings after(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
    QVERIFY(!after.contains(QStringLiteral("77/voltageUnit")));
    QVERIFY(after.contains(QStringLiteral("E08F2/voltageUnit")));
}

void TestSettings::resolutionMicroSign()
{
    Resolution r;
    r.setSerialNumber(5);
    r.setCurrentUnit(QStringLiteral("\u00B5A"));
    r.setLowCurrentUnit(QStringLiteral("nA"));
    QCOMPARE(r.currentUnit(), QStringLiteral("\u00B5A"));
    r.save(Resolution::SerialNumberScope);
    QSettings file(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("5/currentUnit")).toString(), QStringLiteral("uA"));
    QCOMPARE(file.value(QStringLiteral("5/lowCurrentUnit")).toString(), QStringLiteral("nA"));
    // The raw file holds no micro sign at all, in any encoding.
    QFile raw(iniFile(QStringLiteral("resolution")));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    QVERIFY(!bytes.contains("\xC2\xB5"));
    QVERIFY(!bytes.contains("xb5") && !bytes.contains("xB5"));

    Resolution back;
    back.setSerialNumber(5);
    back.load();
    QCOMPARE(back.currentUnit(), QStringLiteral("\u00B5A"));
    QCOMPARE(back.lowCurrentUnit(), QStringLiteral("nA"));
    QCOMPARE(Resolution::storedUnit(QStringLiteral("\u00B5A")), QStringLiteral("uA"));
    QCOMPARE(Resolution::storedUnit(QStringLiteral("mA")), QStringLiteral("mA"));
    QCOMPARE(Resolution::displayUnit(QStringLiteral("uA")), QStringLiteral("\u00B5A"));
}

void TestSettings::resolutionWithoutFirmwareName()
{
    // A stray top-level key must not be taken for a firmware group value.
    {
        auto store = Settings::store(QStringLiteral("resolution"));
        store->setValue(QStringLiteral("voltageUnit"), QStringLiteral("XX"));
        store->sync();
    }
    Resolution r;
    r.setSerialNumber(8);
    r.load();
    QCOMPARE(r.voltageUnit(), QStringLiteral("V"));
    r.setVoltageUnit(QStringLiteral("kV"));
    r.save(Resolution::FirmwareScope);
    QSettings file(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("voltageUnit")).toString(), QStringLiteral("XX"));
}

void TestSettings::resolutionUnsavableScopeKeepsValues()
{
    // Moving down to a firmware scope the module has no name for writes nothing;
    // it must not remove the serial-number group either, or the values are lost.
    Resolution r;
    r.setSerialNumber(31);
    r.setVoltageUnit(QStringLiteral("kV"));
    r.setCurrentPrecision(6);
    r.save(Resolution::SerialNumberScope);
    QCOMPARE(r.scope(), 2);
    r.save(Resolution::FirmwareScope);
    QCOMPARE(r.scope(), 2);
    {
        QSettings file(iniFile(QStringLiteral("resolution")), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("31/voltageUnit")).toString(), QStringLiteral("kV"));
        QCOMPARE(file.value(QStringLiteral("31/currentPrecision")).toInt(), 6);
    }
    Resolution again;
    again.setSerialNumber(31);
    again.load();
    QCOMPARE(again.voltageUnit(), QStringLiteral("kV"));
    QCOMPARE(again.currentPrecision(), 6);
    QCOMPARE(again.scope(), 2);
}

VEXA_TEST_GUILESS_MAIN(TestSettings)

#include "tst_settings.moc"
