// The flash tool's main window against a private cratesim with the demo crate:
// form content, service tabs, address check, Connect/Disconnect and the module
// table, selection buttons and the two-step close.
#include "addresslocker.h"
#include "cratesimprocess.h"
#include "firmwareupdate.h"
#include "mainwindow.h"
#include "simprobe.h"
#include "testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

using namespace crateflash;

class FlashMainWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CrateSimProcess> m_sim;
    QList<SimNode> m_nodes;

    template<typename T>
    static T *child(QWidget *window, const char *name)
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }

    static QTableWidget *table(MainWindow &w) { return child<QTableWidget>(&w, "table"); }

    void connectAndWait(MainWindow &w)
    {
        QPushButton *connectButton = child<QPushButton>(&w, "connect");
        QVERIFY(connectButton->isEnabled());
        connectButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(table(w)->rowCount(), int(m_nodes.size()), 15000);
    }

    static void connectAndWaitForLibrary(MainWindow &w)
    {
        child<QPushButton>(&w, "connect")->click();
        QVERIFY(w.firmwareUpdate());
        child<QPushButton>(&w, "disconnect")->click();
    }

private slots:
    void initTestCase()
    {
        m_sim = std::make_unique<CrateSimProcess>();
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
        {
            // The probe needs the library started; a first window's Connect does that.
            MainWindow w(QStringList{QStringLiteral("crateflash")});
            connectAndWaitForLibrary(w);
        }
        QVERIFY(SimProbe::loadSimulatorMibs());
        SimProbe probe(m_sim->address());
        m_nodes = probe.nodes();
        QVERIFY(m_nodes.size() >= 3);
    }

    void formHoldsEveryWidget()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        QCOMPARE(w.windowTitle(), QStringLiteral("vexa SNMP Flash Version 1.0.2.0"));
        QCOMPARE(child<QLabel>(&w, "label_3")->text(),
                 QStringLiteral("Close all programs that are connected to this MPOD crate before starting a "
                                "firmware update!"));
        QCOMPARE(child<QLabel>(&w, "label_3")->font().pointSize(), 12);
        QCOMPARE(child<QLabel>(&w, "label_2")->text(), QStringLiteral("MPOD IP address:"));
        QCOMPARE(child<QLineEdit>(&w, "ipAddress")->text(), m_sim->address());
        QCOMPARE(child<QPushButton>(&w, "connect")->text(), QStringLiteral("Connect"));
        QCOMPARE(child<QPushButton>(&w, "disconnect")->text(), QStringLiteral("Disconnect"));
        QVERIFY(!child<QPushButton>(&w, "disconnect")->isEnabled());
        QVERIFY(child<QLabel>(&w, "scan"));
        QVERIFY(child<QLabel>(&w, "addressWarning"));
        QCOMPARE(child<QLabel>(&w, "label_5")->text(), QStringLiteral("CAN Bitrate (kbit/s):"));
        QComboBox *tunnelRate = child<QComboBox>(&w, "canTunnelBitRate");
        QCOMPARE(tunnelRate->count(), 3);
        QCOMPARE(tunnelRate->itemText(0), QStringLiteral("Default"));
        QCOMPARE(tunnelRate->itemText(1), QStringLiteral("125"));
        QCOMPARE(tunnelRate->itemText(2), QStringLiteral("250"));
        QCOMPARE(tunnelRate->currentIndex(), 0);
        QVERIFY(!tunnelRate->isEnabled());
        QCOMPARE(child<QLabel>(&w, "label_6")->text(), QStringLiteral("Only change the Bitrate if you are advised!"));
        QCOMPARE(child<QPushButton>(&w, "selectAll")->text(), QStringLiteral("Select All"));
        QCOMPARE(child<QPushButton>(&w, "disselectAll")->text(), QStringLiteral("Disselect All"));
        QVERIFY(!child<QPushButton>(&w, "selectAll")->isEnabled());
        QVERIFY(!child<QPushButton>(&w, "disselectAll")->isEnabled());
        QCOMPARE(child<QPushButton>(&w, "clearLog")->text(), QStringLiteral("Clear Log"));

        QTableWidget *t = table(w);
        QCOMPARE(t->columnCount(), 5);
        const QStringList headers{"CAN ID", "Serialnumber", "Device", "Release", "Status"};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
        QCOMPARE(t->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);

        QTabWidget *tabs = child<QTabWidget>(&w, "tabWidget");
        const QStringList titles{"Firmware Update", "Special Mode", "Module Control 2",
                                 "Read Far Memory", "CAN Message", "Bitrate"};
        QCOMPARE(tabs->count(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(tabs->tabText(i), titles.at(i));
        QCOMPARE(tabs->currentIndex(), 0);

        QCOMPARE(child<QPushButton>(&w, "select")->text(), QStringLiteral("Select..."));
        QCOMPARE(child<QPushButton>(&w, "flash")->text(), QStringLiteral("Flash"));
        QCOMPARE(child<QPushButton>(&w, "compare")->text(), QStringLiteral("Compare"));
        for (const char *name : {"select", "flash", "compare"})
            QVERIFY2(!child<QPushButton>(&w, name)->isEnabled(), name);
        QCOMPARE(child<QProgressBar>(&w, "progressBar")->value(), 0);
        QCOMPARE(child<QPushButton>(&w, "pause")->text(), QStringLiteral("Pause"));
        QCOMPARE(child<QPushButton>(&w, "pause")->toolTip(), QStringLiteral("Stop Update after this module"));
        QCOMPARE(child<QLineEdit>(&w, "memoryAddress")->text(), QStringLiteral("0x000e"));
        QCOMPARE(child<QPushButton>(&w, "read16Bit")->text(), QStringLiteral("Read 16 Bit"));
        QCOMPARE(child<QPushButton>(&w, "read32Bit")->text(), QStringLiteral("Read 32 Bit"));
        QCOMPARE(child<QLabel>(&w, "memoryAddressHint")->text(),
                 QStringLiteral("Enter a hexadecimal address with prefix 0x, e.g. 0x1234."));
        QCOMPARE(child<QPushButton>(&w, "fineAdjustmentOn")->text(), QStringLiteral("On"));
        QCOMPARE(child<QPushButton>(&w, "fineAdjustmentOff")->text(), QStringLiteral("Off"));
        QCOMPARE(child<QPushButton>(&w, "singleBoardMode")->text(), QStringLiteral("Single Board Mode"));
        QCOMPARE(child<QPushButton>(&w, "doubleBoardMode")->text(), QStringLiteral("Double Board Mode"));
        QCOMPARE(child<QPushButton>(&w, "readStoredEvents")->text(), QStringLiteral("Read Stored Events"));
        QCOMPARE(child<QPushButton>(&w, "clearStoredEvents")->text(), QStringLiteral("Clear Stored Events"));
        QCOMPARE(child<QLineEdit>(&w, "canMessage")->text(), QStringLiteral("10 02"));
        QCOMPARE(child<QPushButton>(&w, "writeMessage")->text(), QStringLiteral("Write"));
        QCOMPARE(child<QPushButton>(&w, "readMessage")->text(), QStringLiteral("Read"));
        QComboBox *rate = child<QComboBox>(&w, "canBitRate");
        QCOMPARE(rate->count(), 1);
        QCOMPARE(rate->itemText(0), QStringLiteral("125"));
        QCOMPARE(child<QPushButton>(&w, "programCanBitRate")->text(), QStringLiteral("Program"));

        QPlainTextEdit *log = child<QPlainTextEdit>(&w, "log");
        QVERIFY(log->isReadOnly());
        QVERIFY(log->minimumHeight() >= 100);
        QCOMPARE(log->font().family(), QStringLiteral("Courier"));
    }

    void settingsComeFromTheOperatorStore()
    {
        // The operator program's store ("vexacontrol") is the flash tool's "vexaControl".
        QSettings store(TestEnv::configDir() + QStringLiteral("/Vexa Systems GmbH/vexacontrol.ini"),
                        QSettings::IniFormat);
        store.setValue(QStringLiteral("DefaultHexFileName"), QStringLiteral("/tmp/T07X0_0400.hex"));
        store.sync();
        {
            MainWindow w(QStringList{QStringLiteral("crateflash")});
            QCOMPARE(child<QLineEdit>(&w, "fileName")->text(), QStringLiteral("/tmp/T07X0_0400.hex"));
            QCOMPARE(child<QLineEdit>(&w, "ipAddress")->text(), m_sim->address());
        }
        store.remove(QStringLiteral("DefaultHexFileName"));
        store.remove(QStringLiteral("IpAddress"));
        store.sync();
        {
            MainWindow w(QStringList{QStringLiteral("crateflash")});
            QCOMPARE(child<QLineEdit>(&w, "ipAddress")->text(), QStringLiteral("192.168.16.228"));
            QVERIFY(child<QLineEdit>(&w, "fileName")->text().isEmpty());
        }
        TestEnv::setCrateAddress(m_sim->address());
    }

    void serviceTabsFollowTheFirstArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("service");
        QTest::newRow("no argument") << QStringList{"crateflash"} << false;
        QTest::newRow("other argument") << QStringList{"crateflash", "quill"} << false;
        QTest::newRow("service second") << QStringList{"crateflash", "x", "quil"} << false;
        QTest::newRow("service") << QStringList{"crateflash", "quil"} << true;
    }
    void serviceTabsFollowTheFirstArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, service);
        MainWindow w(arguments);
        QTabWidget *tabs = child<QTabWidget>(&w, "tabWidget");
        QTRY_COMPARE_WITH_TIMEOUT(tabs->isTabEnabled(1), service, 2000);
        QTest::qWait(600);
        for (int i : {1, 2, 3, 4})
            QCOMPARE(tabs->isTabEnabled(i), service);
        QVERIFY(tabs->isTabEnabled(0));
        QVERIFY(tabs->isTabEnabled(5));
    }

    void addressCheck_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("connectEnabled");
        QTest::newRow("incomplete") << "192.168.16" << false;
        QTest::newRow("trailing dot") << "192.168.16." << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("complete") << "127.0.0.77" << true;
    }
    void addressCheck()
    {
        QFETCH(QString, address);
        QFETCH(bool, connectEnabled);
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        QLineEdit *field = child<QLineEdit>(&w, "ipAddress");
        field->setText(address);
        QCOMPARE(child<QPushButton>(&w, "connect")->isEnabled(), connectEnabled);
    }

    void lockedAddressWarns()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        QLineEdit *field = child<QLineEdit>(&w, "ipAddress");
        QLabel *warning = child<QLabel>(&w, "addressWarning");
        field->setText(QStringLiteral("127.0.0.78"));
        QVERIFY(warning->text().isEmpty());
        {
            AddressLocker locker;
            QVERIFY(locker.forceLock(QStringLiteral("127.0.0.79")));
        }
        field->setText(QStringLiteral("127.0.0.79"));
        QCOMPARE(warning->text(), QStringLiteral("<font color=\"red\">Warning: This address may be in use!"));
        // Only a warning: Connect stays possible.
        QVERIFY(child<QPushButton>(&w, "connect")->isEnabled());
        AddressLocker().unlock(QStringLiteral("127.0.0.79"));
    }

    void connectListsEveryModuleSortedByCanId()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        connectAndWait(w);
        QTableWidget *t = table(w);
        QVERIFY(!child<QPushButton>(&w, "connect")->isEnabled());
        QVERIFY(!child<QLineEdit>(&w, "ipAddress")->isEnabled());
        QVERIFY(child<QPushButton>(&w, "disconnect")->isEnabled());
        QVERIFY(child<QPushButton>(&w, "selectAll")->isEnabled());
        QCOMPARE(child<QLabel>(&w, "scan")->text(),
                 QStringLiteral("Scanning for modules... (%1 found)").arg(m_nodes.size()));
        QVERIFY(AddressLocker().isLockedByMe(m_sim->address()));
        int bootRows = 0;
        for (int row = 0; row < m_nodes.size(); ++row) {
            const SimNode &n = m_nodes.at(row);
            QCOMPARE(t->item(row, 0)->text(), QStringLiteral("0x%1").arg(n.base, 3, 16, QLatin1Char('0')));
            QCOMPARE(t->item(row, 0)->checkState(), Qt::Unchecked);
            QCOMPARE(t->item(row, 1)->text(), QString::number(n.serialNumber));
            QCOMPARE(t->item(row, 2)->text(), n.device);
            QCOMPARE(t->item(row, 3)->text(),
                     QStringLiteral("%1.%2").arg(n.release / 100).arg(n.release % 100, 2, 10, QLatin1Char('0')));
            QCOMPARE(t->verticalHeaderItem(row)->text(),
                     QStringLiteral("Slot %1").arg(FirmwareUpdate::slotOfCanId(n.base)));
            QCOMPARE(t->rowHeight(row), 20);
            for (int c = 0; c < 5; ++c) {
                QCOMPARE(t->item(row, c)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
                const QColor colour = t->item(row, c)->background().color();
                if (n.bootLoader)
                    QCOMPARE(colour, QColor(Qt::red));
                else
                    QCOMPARE(colour.alpha(), 0);
            }
            QCOMPARE(t->item(row, 4)->text(), n.bootLoader ? QStringLiteral("Need Update") : QString());
            bootRows += n.bootLoader ? 1 : 0;
        }
        QVERIFY(bootRows >= 1);
    }

    void disconnectThenConnectListsTheModulesAgain()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        connectAndWait(w);
        child<QPushButton>(&w, "disconnect")->click();
        QTableWidget *t = table(w);
        QCOMPARE(t->rowCount(), 0);
        QVERIFY(w.moduleList().isEmpty());
        QVERIFY(w.firmwareUpdate()->modules().isEmpty());
        QVERIFY(child<QPushButton>(&w, "connect")->isEnabled());
        QVERIFY(child<QLineEdit>(&w, "ipAddress")->isEnabled());
        QVERIFY(!child<QPushButton>(&w, "disconnect")->isEnabled());
        QVERIFY(!AddressLocker().isLockedByMe(m_sim->address()));
        QCOMPARE(w.nextSelectedRow(), -1);
        // Actions over rows find nothing to read and nothing breaks.
        child<QPushButton>(&w, "selectAll")->click();
        w.on_read16Bit_clicked();

        connectAndWait(w);
        for (int row = 0; row < t->rowCount(); ++row) {
            QVERIFY(t->item(row, 1));
            QCOMPARE(t->item(row, 1)->text(), QString::number(m_nodes.at(row).serialNumber));
        }
    }

    void selectAllAndDisselectAll()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        connectAndWait(w);
        QTableWidget *t = table(w);
        child<QPushButton>(&w, "selectAll")->click();
        for (int row = 0; row < t->rowCount(); ++row)
            QVERIFY(w.isRowTicked(row));
        // The module waiting in its boot loader is served first.
        const int next = w.nextSelectedRow();
        QVERIFY(next >= 0);
        QVERIFY(m_nodes.at(next).bootLoader);
        child<QPushButton>(&w, "disselectAll")->click();
        for (int row = 0; row < t->rowCount(); ++row)
            QVERIFY(!w.isRowTicked(row));
        QCOMPARE(w.nextSelectedRow(), -1);
        // Without a boot-loader module ticked the first ticked row is next.
        const int last = t->rowCount() - 1;
        t->item(last, 0)->setCheckState(Qt::Checked);
        QCOMPARE(w.nextSelectedRow(), last);
    }

    void clearLogEmptiesTheLog()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        connectAndWait(w);
        QPlainTextEdit *log = child<QPlainTextEdit>(&w, "log");
        QVERIFY(log->toPlainText().contains(QStringLiteral("SNMP session for host")));
        child<QPushButton>(&w, "clearLog")->click();
        QVERIFY(log->toPlainText().isEmpty());
    }

    void connectedWindowRendersTheTable()
    {
        // FLASH_SCREENSHOT=<file.png> keeps the picture (run under Xvfb for real fonts).
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        w.resize(820, 860);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        connectAndWait(w);
        QTest::qWait(700);
        const QImage image = w.grab().toImage();
        QCOMPARE(image.size(), w.size() * w.devicePixelRatio());
        // The red boot-loader row is on screen.
        const QTableWidget *t = table(w);
        int bootRow = -1;
        for (int row = 0; row < m_nodes.size(); ++row)
            if (m_nodes.at(row).bootLoader)
                bootRow = row;
        QVERIFY(bootRow >= 0);
        const QRect cell = t->visualRect(t->model()->index(bootRow, 1));
        const QPoint centre = t->viewport()->mapTo(&w, cell.center() + QPoint(-cell.width() / 3, 0));
        QCOMPARE(QColor(image.pixel(centre)), QColor(Qt::red));
        const QString target = qEnvironmentVariable("FLASH_SCREENSHOT");
        if (!target.isEmpty())
            QVERIFY(image.save(target));
    }

    void closingTakesTwoSteps()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        connectAndWait(w);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(w.isClosing());
        QVERIFY(!AddressLocker().isLockedByMe(m_sim->address()));
        QCOMPARE(table(w)->rowCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 3000);
    }
};

VEXA_TEST_MAIN(FlashMainWindowTest)
#include "tst_flashmainwindow.moc"
