// IPv4 validation and the address dialog: typing, normalisation, the in-use
// warning and the recent-address list.

#include "ipv4inputdialog.h"
#include "ipv4validator.h"
#include "settings.h"

#include "testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

class TestIpV4Input : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void validate_data();
    void validate();
    void normalise_data();
    void normalise();
    void typingStopsAtInvalidInput_data();
    void typingStopsAtInvalidInput();
    void form();
    void longLabelFits();
    void okFollowsValidity();
    void localServerEnablesOk();
    void addressIsNormalised();
    void warningForLockedAddress();
    void noWarningForOpeningAddress();
    void recentListLoadsInKeyOrder();
    void acceptKeepsElevenInKeyOrder();
    void acceptMovesRepeatedAddressToFront();
    void cancelSavesNothing();

private:
    static void storeRecent(const QStringList &values);
    static QStringList storedRecentByIndex();
    static QLineEdit *edit(IpV4InputDialog &dialog);
};

void TestIpV4Input::storeRecent(const QStringList &values)
{
    auto store = Settings::operatorStore();
    store->remove(QStringLiteral("RecentIpAddresses"));
    for (int i = 0; i < values.size(); ++i)
        store->setValue(QStringLiteral("RecentIpAddresses/%1").arg(i), values[i]);
    store->sync();
}

QStringList TestIpV4Input::storedRecentByIndex()
{
    auto store = Settings::operatorStore();
    store->beginGroup(QStringLiteral("RecentIpAddresses"));
    QStringList values;
    const int count = int(store->childKeys().size());
    for (int i = 0; i < count; ++i)
        values.append(store->value(QString::number(i)).toString());
    store->endGroup();
    return values;
}

QLineEdit *TestIpV4Input::edit(IpV4InputDialog &dialog)
{
    return dialog.findChild<QComboBox *>(QStringLiteral("cmbAddress"))->lineEdit();
}

void TestIpV4Input::init()
{
    storeRecent({});
}

void TestIpV4Input::validate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    const int I = QValidator::Invalid, M = QValidator::Intermediate, A = QValidator::Acceptable;
    QTest::newRow("empty") << "" << M;
    QTest::newRow("complete") << "192.168.16.228" << A;
    QTest::newRow("trailing dot") << "127.168.1." << M;
    QTest::newRow("above 255") << "127.168.1.256" << I;
    QTest::newRow("leading zeros") << "127.168.001.010" << A;
    QTest::newRow("fifth part") << "1.2.3.4.5" << I;
    QTest::newRow("four dots") << "1.2.3.4." << I;
    QTest::newRow("all zero") << "0.0.0.0" << A;
    QTest::newRow("all 255") << "255.255.255.255" << A;
    QTest::newRow("three parts") << "127.0.0" << M;
    QTest::newRow("empty part") << "127..0.1" << M;
    QTest::newRow("only dots") << "..." << M;
    QTest::newRow("space") << "127.0.0 .1" << I;
    QTest::newRow("leading space") << " 127.0.0.1" << I;
    QTest::newRow("negative") << "127.-1.0.1" << I;
    QTest::newRow("plus sign") << "127.+1.0.1" << I;
    QTest::newRow("letters") << "127.0.a.1" << I;
    QTest::newRow("hex") << "0x127.0.0.1" << I;
    QTest::newRow("tab") << "127.0.0.\t1" << I;
    QTest::newRow("huge number") << "99999999999.0.0.1" << I;
    QTest::newRow("arabic-indic digit") << QString::fromUtf8("127.0.0.\xd9\xa1") << I;
    QTest::newRow("single part") << "127" << M;
}

void TestIpV4Input::validate()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    IpV4Validator validator;
    int pos = 0;
    QString input = text;
    QCOMPARE(int(validator.validate(input, pos)), state);
    QCOMPARE(input, text); // never rewrites the input
    QCOMPARE(int(IpV4Validator::check(text)), state);
}

void TestIpV4Input::normalise_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("zeros") << "127.168.001.010"
                           << "127.168.1.10";
    QTest::newRow("all zeros") << "000.00.0.000"
                               << "0.0.0.0";
    QTest::newRow("unchanged") << "127.0.0.1"
                               << "127.0.0.1";
    QTest::newRow("partial") << "127.00"
                             << "127.0";
}

void TestIpV4Input::normalise()
{
    QFETCH(QString, text);
    QFETCH(QString, normalised);
    QCOMPARE(IpV4Validator::normalized(text), normalised);
}

void TestIpV4Input::typingStopsAtInvalidInput_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("256") << "127.168.1.256"
                         << "127.168.1.25";
    QTest::newRow("fifth part") << "1.2.3.4.5"
                                << "1.2.3.45";
    QTest::newRow("letters and spaces") << "127 .x0.0.1"
                                        << "127.0.0.1";
}

void TestIpV4Input::typingStopsAtInvalidInput()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    IpV4InputDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit *line = edit(dialog);
    line->clear();
    QTest::keyClicks(line, typed);
    QCOMPARE(line->text(), shown);
}

void TestIpV4Input::form()
{
    IpV4InputDialog dialog;
    auto *check = dialog.findChild<QCheckBox *>(QStringLiteral("chkLocalServer"));
    QVERIFY(check);
    QCOMPARE(check->text(), QStringLiteral("Connect to Local Server"));
    QVERIFY(!check->isChecked());
    QVERIFY(check->isHidden());
    QCOMPARE(dialog.labelText(), QStringLiteral("Enter IP Address:"));
    dialog.setLabelText(QStringLiteral("It seems <b>busy</b>"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblText"))->text(),
             QStringLiteral("It seems <b>busy</b>"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblText"))->textFormat(), Qt::RichText);
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cmbAddress"));
    QVERIFY(combo->isEditable());
    QVERIFY(qobject_cast<const IpV4Validator *>(combo->validator()));
    QCOMPARE(dialog.findChild<QGroupBox *>(QStringLiteral("grpCommunity"))->title(),
             QStringLiteral("SNMP community passwords"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblReadCommunity"))->text(),
             QStringLiteral("SNMP read access password (kestra):"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblWriteCommunity"))->text(),
             QStringLiteral("SNMP write access password (mavo):"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnOk"))->text(), QStringLiteral("Ok"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnCancel"))->text(), QStringLiteral("Cancel"));
    QVERIFY(dialog.warningText().isEmpty());
}

// The address-lock question is several lines long: none of it may be clipped.
void TestIpV4Input::longLabelFits()
{
    IpV4InputDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setLabelText(QStringLiteral("It seems there is already a program accessing the crate with IP "
                                       "address 127.0.0.2.<ul><li>Press Ok to "
                                       "connect anyway.</li><li>Change the IP address and press Ok to "
                                       "connect to another MPOD.</li><li>Press "
                                       "Cancel to quit the program.</li></ul>"));
    QApplication::processEvents();
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblText"));
    QVERIFY(label->height() >= label->heightForWidth(label->width()));
}

void TestIpV4Input::okFollowsValidity()
{
    IpV4InputDialog dialog;
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("btnOk"));
    dialog.setAddress(QStringLiteral("127.168.1."));
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(edit(dialog), QStringLiteral("7"));
    QVERIFY(ok->isEnabled());
    edit(dialog)->clear();
    QVERIFY(!ok->isEnabled());
}

void TestIpV4Input::localServerEnablesOk()
{
    IpV4InputDialog dialog;
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("btnOk"));
    auto *check = dialog.findChild<QCheckBox *>(QStringLiteral("chkLocalServer"));
    dialog.setAddress(QString());
    QVERIFY(!ok->isEnabled());
    check->setChecked(true);
    QVERIFY(ok->isEnabled());
    check->setChecked(false);
    QVERIFY(!ok->isEnabled());
}

void TestIpV4Input::addressIsNormalised()
{
    IpV4InputDialog dialog;
    dialog.setAddress(QStringLiteral("127.168.001.010"));
    QCOMPARE(edit(dialog)->text(), QStringLiteral("127.168.1.10"));
    edit(dialog)->setText(QStringLiteral("127.000.000.001"));
    QCOMPARE(dialog.address(), QStringLiteral("127.0.0.1"));
    QVERIFY(dialog.isOkEnabled());
}

void TestIpV4Input::warningForLockedAddress()
{
    IpV4InputDialog dialog;
    dialog.setAddress(QStringLiteral("127.0.0.2"));
    dialog.setLockedAddresses({QStringLiteral("127.0.0.3"), QStringLiteral("127.0.0.4")});
    QVERIFY(dialog.warningText().isEmpty());
    QLineEdit *line = edit(dialog);
    line->clear();
    QTest::keyClicks(line, QStringLiteral("127.0.0.3"));
    QVERIFY(dialog.warningText().startsWith(QStringLiteral("<font color=\"red\"><strong>")));
    QVERIFY(dialog.warningText().contains(QStringLiteral("Warning: This address may already be in use!")));
    // Incomplete text never warns; a different full address clears the warning.
    QTest::keyClick(line, Qt::Key_Backspace);
    QVERIFY(dialog.warningText().isEmpty());
    QTest::keyClicks(line, QStringLiteral("4"));
    QVERIFY(!dialog.warningText().isEmpty());
    line->setText(QStringLiteral("127.0.0.5"));
    QVERIFY(dialog.warningText().isEmpty());
    // Leading zeros name the same crate: the dialog returns the locked address, so it warns.
    line->setText(QStringLiteral("127.0.0.003"));
    QCOMPARE(dialog.address(), QStringLiteral("127.0.0.3"));
    QVERIFY(!dialog.warningText().isEmpty());
    line->setText(QStringLiteral("127.000.0.02"));
    QVERIFY(dialog.warningText().isEmpty());
}

void TestIpV4Input::noWarningForOpeningAddress()
{
    const QStringList locked = {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3"),
                                QStringLiteral("127.0.0.2")};
    // Address first, then the list (as the main window does) ...
    IpV4InputDialog first;
    first.setAddress(QStringLiteral("127.0.0.2"));
    first.setLockedAddresses(locked);
    QVERIFY(first.warningText().isEmpty());
    QCOMPARE(first.lockedAddresses(), QStringList{QStringLiteral("127.0.0.3")});
    edit(first)->setText(QStringLiteral("127.0.0.3"));
    QVERIFY(!first.warningText().isEmpty());
    edit(first)->setText(QStringLiteral("127.0.0.2"));
    QVERIFY(first.warningText().isEmpty());

    // ... or the list first: the opening address still never warns.
    IpV4InputDialog second;
    second.setLockedAddresses(locked);
    second.setAddress(QStringLiteral("127.0.0.2"));
    QVERIFY(second.warningText().isEmpty());
    edit(second)->setText(QStringLiteral("127.0.0.3"));
    QVERIFY(!second.warningText().isEmpty());
    edit(second)->setText(QStringLiteral("127.0.0.2"));
    QVERIFY(second.warningText().isEmpty());
}

void TestIpV4Input::recentListLoadsInKeyOrder()
{
    QStringList values;
    for (int i = 0; i < 11; ++i)
        values.append(QStringLiteral("127.0.0.%1").arg(i));
    storeRecent(values);
    IpV4InputDialog dialog;
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cmbAddress"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    // Keys sorted as text: 0, 1, 10, 2, ...
    QCOMPARE(items, QStringList({"127.0.0.0", "127.0.0.1", "127.0.0.10", "127.0.0.2", "127.0.0.3", "127.0.0.4",
                                 "127.0.0.5", "127.0.0.6", "127.0.0.7", "127.0.0.8", "127.0.0.9"}));
    // Without an address given, the dialog opens with the first entry.
    QCOMPARE(dialog.address(), QStringLiteral("127.0.0.0"));
}

void TestIpV4Input::acceptKeepsElevenInKeyOrder()
{
    QStringList values;
    for (int i = 0; i < 11; ++i)
        values.append(QStringLiteral("127.0.0.%1").arg(i));
    storeRecent(values);
    IpV4InputDialog dialog;
    dialog.setAddress(QStringLiteral("127.0.0.99"));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOk")), Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // The new one, then the first ten in key order (10 follows 1); "127.0.0.9" is dropped.
    QCOMPARE(storedRecentByIndex(),
             QStringList({"127.0.0.99", "127.0.0.0", "127.0.0.1", "127.0.0.10", "127.0.0.2", "127.0.0.3",
                          "127.0.0.4", "127.0.0.5", "127.0.0.6", "127.0.0.7", "127.0.0.8"}));
    QCOMPARE(IpV4InputDialog::recentAddresses().size(), 11);
}

void TestIpV4Input::acceptMovesRepeatedAddressToFront()
{
    storeRecent({QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")});
    IpV4InputDialog dialog;
    dialog.setAddress(QStringLiteral("127.0.0.003"));
    dialog.accept();
    QCOMPARE(storedRecentByIndex(), QStringList({"127.0.0.3", "127.0.0.1", "127.0.0.2"}));
    // The flash tool's spelling of the store sees the same list.
    auto other = Settings::operatorStore(QStringLiteral("vexaControl"));
    QCOMPARE(other->value(QStringLiteral("RecentIpAddresses/0")).toString(), QStringLiteral("127.0.0.3"));
}

void TestIpV4Input::cancelSavesNothing()
{
    storeRecent({QStringLiteral("127.0.0.1")});
    IpV4InputDialog dialog;
    dialog.setAddress(QStringLiteral("127.0.0.7"));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(storedRecentByIndex(), QStringList{QStringLiteral("127.0.0.1")});
}

VEXA_TEST_MAIN(TestIpV4Input)

#include "tst_ipv4input.moc"
