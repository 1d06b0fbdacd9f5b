// SnmpController: binding the access library (load, resolve, init failures with
// the messages the program shows), the connection, bus status, static address,
// destruction, module discovery and the crate object, against the in-process fake.

#include "addresslocker.h"
#include "fakewienerlibrary.h"
#include "modulediscovery.h"
#include "snmpcontroller.h"
#include "snmpcrate.h"
#include "snmpmodule.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QCoreApplication>
#include <QtTest>

#include <memory>

class TestSnmpController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SnmpController> connectedController(const QString &address = QStringLiteral("127.0.0.2"))
    {
        auto controller = std::make_unique<SnmpController>(FakeWiener::functions());
        controller->connectTo(address);
        FakeWiener::clearCalls();
        return controller;
    }

private slots:
    void init()
    {
        FakeWiener::reset();
    }

    void functionTableHasEveryFunctionInOrder()
    {
        QCOMPARE(WienerSnmpFunctions::count(), 86);
        const char *const *names = WienerSnmpFunctions::names();
        QCOMPARE(QByteArray(names[0]), QByteArray("snmpInit"));
        QCOMPARE(QByteArray(names[4]), QByteArray("snmpGetLastError"));
        QCOMPARE(QByteArray(names[5]), QByteArray("getMainSwitch"));
        // "set/get" pairs are resolved set first, "get/set" pairs get first.
        QStringList list;
        for (int i = 0; i < WienerSnmpFunctions::count(); ++i)
            list << QString::fromLatin1(names[i]);
        QVERIFY(list.indexOf("setHighVoltageGroupsSwitch") < list.indexOf("getHighVoltageGroupsSwitch"));
        QVERIFY(list.indexOf("getIpStaticAddress") < list.indexOf("setIpStaticAddress"));
        QCOMPARE(list.indexOf("getModuleDescription"), 59);
        QCOMPARE(list.last(), QStringLiteral("getMultipleOutputConfigMaxCurrents"));
        QCOMPARE(list.removeDuplicates(), 0);
        QVERIFY(FakeWiener::functions().isComplete());
    }

    void constructionInitialisesOnce()
    {
        SnmpController controller(FakeWiener::functions());
        QVERIFY(controller.isBound());
        QCOMPARE(FakeWiener::calls(), QStringList{"snmpInit()"});
        QVERIFY(controller.errorText().isEmpty());
        QVERIFY(!controller.hasHandle());
        QVERIFY(controller.address().isEmpty());
        QVERIFY(controller.items().isEmpty());
        QVERIFY(controller.canBeDeleted());
    }

    void loadFailureIsReported()
    {
        const QString missing = QStringLiteral("/nonexistent/vexa/WIENER_SNMP");
        SnmpController controller(QStringList{missing});
        QVERIFY(!controller.isBound());
        QCOMPARE(controller.errorText(), QStringLiteral("Error while loading shared library '/nonexistent/vexa/WIENER_SNMP' or "
                                            "one of it's dependencies!\n\nProgram will be terminated."));
        // An unbound controller neither connects nor calls anything.
        QVERIFY(!controller.connectTo(QStringLiteral("127.0.0.2")));
        QVERIFY(!controller.isConnected());
    }

    void resolveFailureNamesFirstMissingFunction()
    {
        const QString partial = QStringLiteral(VEXA_PARTIAL_WIENER_LIBRARY);
        SnmpController controller(QStringList{QStringLiteral("/nonexistent/WIENER_SNMP"), partial});
        QVERIFY(!controller.isBound());
        QCOMPARE(controller.errorText(), QStringLiteral("Error while resolving function 'getSysDescr' from shared library "
                                            "'%1'\n\nProgram will be terminated.")
                                 .arg(controller.libraryFileName()));
        QVERIFY(controller.libraryFileName().endsWith(QStringLiteral("partialwiener.so")));
    }

    void resolveFailureOfInProcessTable()
    {
        WienerSnmpFunctions table = FakeWiener::functions();
        table.getMultipleOutputSwitches = nullptr;
        table.getModuleStatus = nullptr;
        SnmpController controller(table);
        QVERIFY(!controller.isBound());
        QVERIFY(controller.errorText().startsWith(
            QStringLiteral("Error while resolving function 'getModuleStatus' from shared library")));
        // Nothing was initialised.
        QVERIFY(FakeWiener::calls().isEmpty());
    }

    void initFailureQuotesLastError()
    {
        FakeWiener::state().initResult = 0;
        FakeWiener::state().lastError = "Unknown Object Identifier (Sub-id not found: (top) -> outputSwitch)";
        SnmpController controller(FakeWiener::functions());
        QVERIFY(!controller.isBound());
        QCOMPARE(controller.errorText(),
                 QStringLiteral("Error while initializing SNMP: \"Unknown Object Identifier (Sub-id not found: "
                                "(top) -> outputSwitch)\"\n\nMost likely the WIENER-CRATE-MIB.txt is missing in "
                                "/usr/share/snmp/mibs or too old.\n\nProgram will be terminated."));
        QCOMPARE(FakeWiener::calls(), (QStringList{"snmpInit()", "snmpGetLastError()"}));
    }

    void defaultCandidatesPreferTheSystemLibrary()
    {
        const QStringList candidates = SnmpController::defaultLibraryCandidates();
        QVERIFY(candidates.size() >= 2);
        // A bare name: the dynamic loader searches the system first.
        QCOMPARE(candidates.first(), QStringLiteral("WIENER_SNMP"));
        QCOMPARE(candidates.at(1), QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../lib") +
                                       QStringLiteral("/WIENER_SNMP"));
        QCOMPARE(candidates.last(), QStringLiteral(VEXA_BUILD_LIBDIR "/WIENER_SNMP"));
    }

    void buildTreeLibraryIsFoundWithoutEnvironment()
    {
        if (!QFile::exists(QStringLiteral(VEXA_BUILD_LIBDIR "/libWIENER_SNMP.so")))
            QSKIP("the access library is not built in this tree");
        QVERIFY(qEnvironmentVariableIsEmpty("LD_LIBRARY_PATH") ||
                !qEnvironmentVariable("LD_LIBRARY_PATH").contains(QStringLiteral(VEXA_BUILD_LIBDIR)));
        SnmpController controller;
        QVERIFY2(controller.isBound(), qPrintable(controller.errorText()));
        QVERIFY(controller.libraryFileName().endsWith(QStringLiteral("libWIENER_SNMP.so")));
    }

    // The search for the library is one line: where it was found, or, only when
    // no place had it, every place with its reason.
    void librarySearchIsLoggedAsOneLine_data()
    {
        QTest::addColumn<bool>("found");
        QTest::newRow("found at the second place") << true;
        QTest::newRow("found nowhere") << false;
    }
    void librarySearchIsLoggedAsOneLine()
    {
        QFETCH(bool, found);
        if (found && !QFile::exists(QStringLiteral(VEXA_BUILD_LIBDIR "/libWIENER_SNMP.so")))
            QSKIP("the access library is not built in this tree");
        const QString first = QStringLiteral("/nonexistent/vexa/WIENER_SNMP");
        const QString second = found ? QStringLiteral(VEXA_BUILD_LIBDIR "/WIENER_SNMP")
                                     : QStringLiteral("/nonexistent/other/WIENER_SNMP");
        static QStringList lines;
        lines.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &text) {
                // The failure's message box text is logged too; it is not part of the search.
                if (qstrcmp(context.category, "cratectl.crate") == 0 && text.contains(QLatin1String("WIENER_SNMP"))
                    && !text.startsWith(QLatin1String("Error while loading shared library")))
                    lines << text;
            });
        QString error;
        {
            SnmpController controller(QStringList{first, second});
            QCOMPARE(controller.isBound(), found);
            error = controller.errorText();
        }
        qInstallMessageHandler(previous);
        QCOMPARE(lines.size(), 1);
        const QString line = lines.first();
        if (found) {
            QVERIFY2(line.startsWith(QStringLiteral(VEXA_BUILD_LIBDIR "/libWIENER_SNMP.so loaded succesfully")),
                     qPrintable(line));
            QVERIFY2(line.contains(QLatin1String("place 2 of 2")), qPrintable(line));
            QVERIFY(!line.contains(first));
        } else {
            QVERIFY2(line.startsWith(QLatin1String("cannot load WIENER_SNMP")), qPrintable(line));
            QVERIFY(line.contains(first) && line.contains(second));
            QVERIFY(!error.isEmpty()); // the program shows it and ends with code 1
        }
    }

    void connectLocksAddressAndOpensSession()
    {
        const QString address = QStringLiteral("127.0.0.3");
        {
            AddressLocker other;
            QVERIFY(other.isFree(address));
        }
        SnmpController controller(FakeWiener::functions());
        FakeWiener::clearCalls();
        QVERIFY(controller.connectTo(address));
        QCOMPARE(FakeWiener::calls(), (QStringList{"snmpOpen(127.0.0.3)", "getPsSerialNumber()"}));
        QCOMPARE(controller.address(), address);
        AddressLocker locker;
        QVERIFY(locker.isLockedByMe(address));
    }

    void connectReportsEmptySerialAsNotConnected()
    {
        FakeWiener::state().psSerialNumber.clear();
        SnmpController controller(FakeWiener::functions());
        QVERIFY(!controller.connectTo(QStringLiteral("127.0.0.4")));
        // The address is taken and marked even when the crate does not answer.
        QCOMPARE(controller.address(), QStringLiteral("127.0.0.4"));
        QVERIFY(AddressLocker().isLockedByMe(QStringLiteral("127.0.0.4")));
        QVERIFY(controller.hasHandle());
    }

    void connectWithoutSessionCallsNothingMore()
    {
        FakeWiener::state().openFails = true;
        SnmpController controller(FakeWiener::functions());
        FakeWiener::clearCalls();
        QVERIFY(!controller.connectTo(QStringLiteral("127.0.0.5")));
        QCOMPARE(FakeWiener::calls(), QStringList{"snmpOpen(127.0.0.5)"});
        QVERIFY(!controller.isConnected());
        QCOMPARE(controller.getModuleDescription(0), QString());
    }

    void reconnectClosesThePreviousSession()
    {
        auto controller = connectedController();
        controller->connectTo(QStringLiteral("127.0.0.6"));
        QCOMPARE(FakeWiener::calls().mid(0, 2), (QStringList{"snmpClose()", "snmpOpen(127.0.0.6)"}));
    }

    void busStatusFollowsMainSwitch()
    {
        auto controller = connectedController();
        QCOMPARE(controller->busStatus(), QStringLiteral("Bus status: <font color=\"blue\">OK"));
        FakeWiener::state().mainSwitch = 0;
        QCOMPARE(controller->busStatus(), QStringLiteral("<font color=\"red\">MPOD is powered off!"));
        QCOMPARE(controller->connectionMessage(),
                 QStringLiteral("Connected to 127.0.0.2. <font color=\"red\">MPOD is powered off!"));
        QCOMPARE(FakeWiener::calls(QStringList{"getMainSwitch"}).size(), 3);
    }

    void liveInsertionIsInert()
    {
        auto controller = connectedController();
        controller->setLiveInsertion(true);
        QVERIFY(!controller->isLiveInsertion());
        QVERIFY(FakeWiener::calls().isEmpty());
    }

    void setIpStaticAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("first octet lowest") << "127.168.1.2" << int(0x0201A87F);
        QTest::newRow("dhcp") << "0.0.0.0" << 0;
        QTest::newRow("no address") << "not.an.address" << 0;
        QTest::newRow("loopback") << "127.0.0.9" << int(0x0900007F);
        QTest::newRow("high octet") << "127.20.30.255" << int(0xFF1E147Fu);
        // Leading zeros are decimal, as the address dialog normalises them; short
        // and other host-address forms are no IPv4 address here.
        QTest::newRow("leading zeros") << "127.168.010.005" << int(0x050AA87F);
        QTest::newRow("two parts") << "127.1" << 0;
        QTest::newRow("three parts") << "1.2.3" << 0;
        QTest::newRow("hexadecimal part") << "0x7f.1.1.1" << 0;
        QTest::newRow("one number") << "4294967295" << 0;
        QTest::newRow("octet too large") << "127.1.1.256" << 0;
        QTest::newRow("empty part") << "127..1.1" << 0;
        QTest::newRow("blank in a part") << "127.1. 1.1" << 0;
    }

    void setIpStaticAddress()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        auto controller = connectedController(QStringLiteral("127.0.0.7"));
        QVERIFY(AddressLocker().isLockedByMe(QStringLiteral("127.0.0.7")));
        QVERIFY(controller->setIpStaticAddress(text));
        QCOMPARE(FakeWiener::calls(), QStringList{QStringLiteral("setIpStaticAddress(%1)").arg(value)});
        // The old address is released, the new one is not taken.
        QVERIFY(AddressLocker().isFree(QStringLiteral("127.0.0.7")));
        QVERIFY(AddressLocker().isFree(text));
    }

    void setIpStaticAddressWithoutConnectionChangesNothing()
    {
        AddressLocker().forceLock(QStringLiteral("127.0.0.8"));
        SnmpController controller(FakeWiener::functions());
        FakeWiener::clearCalls();
        QVERIFY(!controller.setIpStaticAddress(QStringLiteral("127.0.0.8")));
        QVERIFY(FakeWiener::calls().isEmpty());
        QVERIFY(AddressLocker().isLockedByMe(QStringLiteral("127.0.0.8")));
        AddressLocker().unlock(QStringLiteral("127.0.0.8"));
    }

    void destructionClosesSessionAndReleasesLock()
    {
        {
            auto controller = connectedController(QStringLiteral("127.0.0.10"));
            QVERIFY(AddressLocker().isLockedByMe(QStringLiteral("127.0.0.10")));
        }
        QCOMPARE(FakeWiener::calls(), QStringList{"snmpClose()"});
        QVERIFY(AddressLocker().isFree(QStringLiteral("127.0.0.10")));
        // Never snmpCleanup: the library stays usable for the next controller.
        QVERIFY(FakeWiener::calls(QStringList{"snmpCleanup"}).isEmpty());
    }

    void destructionKeepsAnotherProcessLock()
    {
        const QString address = QStringLiteral("127.0.0.11");
        {
            auto controller = connectedController(address);
            // Another process takes the crate over.
            QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vexa Systems GmbH"),
                            QStringLiteral("addresslock"));
            store.setValue(address, qint64(QCoreApplication::applicationPid()) + 100000);
            store.sync();
        }
        QVERIFY(!AddressLocker().isFree(address));
        QVERIFY(!AddressLocker().isLockedByMe(address));
    }

    void discoveryCreatesModulesInSlotOrder()
    {
        FakeWiener::state().moduleDescriptions[1] = "vexa, T03X0, 08, 5001, 1.20";
        FakeWiener::state().moduleDescriptions[4] = "vexa, T25X0, 4, 5002";
        auto controller = connectedController();
        ModuleDiscovery::Result found = ModuleDiscovery::discover(controller.get());
        QCOMPARE(found.modules.size(), 2);
        QCOMPARE(found.modules.at(0)->serialNumber(), 5001);
        QCOMPARE(found.modules.at(1)->serialNumber(), 5002);
        QCOMPARE(found.modules.at(0)->address(), QStringLiteral("Slot 1"));
        QCOMPARE(found.modules.at(1)->address(), QStringLiteral("Slot 4"));
        // Ten slot reads in order, one more read by each module, then the crate.
        QStringList expected;
        for (int slot = 0; slot < 10; ++slot) {
            expected << QStringLiteral("getModuleDescription(%1)").arg(slot);
            if (slot == 1 || slot == 4)
                expected << QStringLiteral("getModuleDescription(%1)").arg(slot);
        }
        expected << QStringLiteral("getSysDescr()");
        QCOMPARE(FakeWiener::calls(), expected);
        QVERIFY(found.crate);
        QCOMPARE(found.crate->address(), QStringLiteral("127.0.0.2"));
        qDeleteAll(found.modules);
        delete found.crate;
    }

    void crateDescription_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::newRow("both") << "WIENER MPOD (4388090, MPOD 2.1.2098.1, MPODslave 1.09, MPOD-BL 1.50 )"
                              << 4388090 << "MPOD 2.1.2098.1";
        QTest::newRow("firmware first") << "MPOD 3.0.1.7 crate (12," << 12 << "MPOD 3.0.1.7";
        QTest::newRow("first of each") << "x (7, y (8, MPOD 1.2.3.4 MPOD 5.6.7.8" << 7 << "MPOD 1.2.3.4";
        QTest::newRow("none") << "WIENER crate 4388090 MPOD 2.1" << 0 << "";
        QTest::newRow("no comma") << "(123) MPOD 1.2.3" << 0 << "";
        QTest::newRow("case matters") << "mpod 1.2.3.4 (5," << 5 << "";
        QTest::newRow("empty") << "" << 0 << "";
    }

    void crateDescription()
    {
        QFETCH(QString, description);
        QFETCH(int, serial);
        QFETCH(QString, firmware);
        FakeWiener::state().sysDescr = description.toLatin1();
        auto controller = connectedController();
        SnmpCrate crate(controller.get(), QStringLiteral("127.0.0.2"));
        QCOMPARE(crate.serialNumber(), serial);
        QCOMPARE(crate.firmwareRelease(), firmware);
        QCOMPARE(FakeWiener::calls(), QStringList{"getSysDescr()"});
    }

    void crateValues()
    {
        FakeWiener::state().fanSpeed = 2400;
        FakeWiener::state().auxVoltage4 = 24.25;
        auto controller = connectedController();
        SnmpCrate crate(controller.get(), QStringLiteral("127.0.0.2"));
        FakeWiener::clearCalls();
        QCOMPARE(crate.supplyNominal(0), 230.0f);
        QCOMPARE(crate.supplyNominal(1), 24.0f);
        QCOMPARE(crate.supplyNominal(2), 0.0f);
        QCOMPARE(crate.supplyNominal(4), 5.0f);
        QCOMPARE(crate.supplyNominal(5), 5.0f);
        QCOMPARE(crate.supplyNominal(6), 3.3f);
        QCOMPARE(crate.supplyNominal(7), 0.0f);
        QCOMPARE(crate.supply5V(), 0.0f);
        QCOMPARE(crate.battery24V(), 0.0f);
        QCOMPARE(crate.bitRate(), 125);
        QVERIFY(crate.alive());
        QVERIFY(crate.statusACLinePower());
        QVERIFY(!crate.alarmFlag());
        crate.doClear();
        // Constants come without a library call.
        QVERIFY(FakeWiener::calls().isEmpty());

        QCOMPARE(crate.supply24V(), 24.25f);
        QCOMPARE(crate.fanSpeed(), 2400.0f);
        crate.setFanSpeed(3000);
        QVERIFY(crate.powerOn());
        crate.setPowerOn(false);
        QVERIFY(!crate.powerOn());
        crate.setPowerOn(true);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"getPsAuxVoltage(4)", "getFanNominalSpeed()", "setFanNominalSpeed(3000)",
                              "getMainSwitch()", "setMainSwitch(0)", "getMainSwitch()", "setMainSwitch(1)"}));
    }
};

VEXA_TEST_GUILESS_MAIN(TestSnmpController)
#include "tst_snmpcontroller.moc"
