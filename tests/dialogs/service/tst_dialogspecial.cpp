// The special-mode transfer against a module that answers it (a double of the
// module's special control and status words): write, verify and post-flash,
// compare-only, the three error paths, the line and wait pacing, the file
// checks, closing and cancelling.

#include "dialogspecial.h"
#include "messagebox.h"
#include "servicemoduledouble.h"
#include "testenv.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int kSerial = 4711;
constexpr int kTimeout = 20000;

// S0 header, data records at the addresses given, S8 end.
QList<QByteArray> records(const QList<quint32> &addresses)
{
    QList<QByteArray> lines{ServiceModuleDouble::sRecord('0', 0, "T03X0")};
    int n = 0;
    for (quint32 address : addresses)
        lines << ServiceModuleDouble::sRecord('2', address, QByteArray(16, char('A' + n++ % 26)));
    lines << ServiceModuleDouble::sRecord('8', 0, QByteArray());
    return lines;
}

QList<QByteArray> dataRecords(int count)
{
    QList<quint32> addresses;
    for (int i = 0; i < count; ++i)
        addresses << quint32(0x0E0000 + 16 * i);
    return records(addresses);
}
} // namespace

class TestDialogSpecial : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    template <typename T>
    static T *child(QObject &d, const char *name)
    {
        T *w = d.findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }

    QString writeFile(const QString &name, const QList<QByteArray> &lines, const QByteArray &tail = "\r\n")
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        for (const QByteArray &line : lines)
            file.write(line + tail);
        return file.fileName();
    }

    // The dialog wired to the double both ways, with short ticks.
    static void wire(DialogSpecial &dialog, ServiceModuleDouble &module)
    {
        dialog.setTickInterval(2);
        connect(&dialog, &DialogSpecial::setModuleControl, &module, &ServiceModuleDouble::setModuleControl);
        connect(&dialog, &DialogSpecial::setSpecialControl, &module, &ServiceModuleDouble::setSpecialControl);
        connect(&dialog, &DialogSpecial::sendHexLine, &module, &ServiceModuleDouble::sendHexLine);
        connect(&module, &ServiceModuleDouble::updateModuleStatus, &dialog, &DialogSpecial::updateModuleStatus);
        connect(&module, &ServiceModuleDouble::updateModuleSpecialControlStatus, &dialog,
                &DialogSpecial::updateModuleSpecialControlStatus);
    }

    static void start(DialogSpecial &dialog, ServiceModuleDouble &module, const QString &file)
    {
        dialog.setHexFilename(file);
        module.report(); // the dialog learns which module it is for
        child<QPushButton>(dialog, "btnSendHexFile")->click();
        QCOMPARE(dialog.transferState(), int(DialogSpecial::AskingSpecialMode));
        module.startReporting();
    }

    // Every state the transfer passes through, also the short ones.
    struct States {
        QList<int> seen;
        explicit States(DialogSpecial &dialog)
        {
            QObject::connect(&dialog, &DialogSpecial::transferStateChanged, &dialog,
                             [this](int state) { seen << state; });
        }
        bool reached(int state, int timeout = kTimeout)
        {
            return QTest::qWaitFor([&] { return seen.contains(state); }, timeout);
        }
    };

    static bool fileControlsEnabled(DialogSpecial &dialog)
    {
        return child<QPushButton>(dialog, "btnSelectFile")->isEnabled()
               && child<QPushButton>(dialog, "btnSendHexFile")->isEnabled()
               && child<QGroupBox>(dialog, "grpS19Mode")->isEnabled()
               && child<QLineEdit>(dialog, "txtFileName")->isEnabled()
               && !child<QPushButton>(dialog, "btnCancel")->isEnabled();
    }

    static int warnings()
    {
        int n = 0;
        for (const MessageBox::Record &r : MessageBox::history())
            n += r.kind == MessageBox::Warning;
        return n;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        MessageBox::clearHooks();
        MessageBox::clearHistory();
    }

    void commandButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<quint32>("command");
        QTest::newRow("standby") << "btnStandby" << 1u;
        QTest::newRow("post flash") << "btnPostFlash" << 6u;
        QTest::newRow("end special") << "btnEndSpecial" << 7u;
        QTest::newRow("sync") << "btnSync" << 11u;
        QTest::newRow("live insertion") << "btnLiveInsertion" << 12u;
        QTest::newRow("fpga update") << "btnFpgaUpdate" << 13u;
    }

    void commandButtons()
    {
        QFETCH(QString, button);
        QFETCH(quint32, command);
        DialogSpecial dialog;
        ModuleStatus special;
        special.setIsSPMD(true);
        dialog.updateModuleStatus(kSerial, special); // enables "Live Insertion"
        QSignalSpy sent(&dialog, &DialogSpecial::setSpecialControl);
        child<QPushButton>(dialog, qPrintable(button))->click();
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0).at(1).value<quint32>(), command);
    }

    void setAndEndSpecialMode()
    {
        DialogSpecial dialog;
        ModuleControl control;
        control.setSetKILena(true);
        dialog.updateModuleControl(kSerial, control);
        QSignalSpy sent(&dialog, &DialogSpecial::setModuleControl);
        child<QPushButton>(dialog, "btnSetSpecial")->click();
        QCOMPARE(sent.count(), 1);
        ModuleControl asked = sent.at(0).at(1).value<ModuleControl>();
        QVERIFY(asked.bit0() && asked.setSTOP() && asked.setKILena());
        // Control 7 reported takes both back, also with no transfer running.
        dialog.updateModuleSpecialControlStatus(kSerial, 7, 0);
        QCOMPARE(sent.count(), 2);
        asked = sent.at(1).at(1).value<ModuleControl>();
        QVERIFY(!asked.bit0() && !asked.setSTOP() && asked.setKILena());
        QCOMPARE(child<QLabel>(dialog, "lblSpecialControlStatus")->text(),
                 QStringLiteral("SpecialControl = 0x00000007, SpecialStatus = 0x00000000"));
    }

    void deviceClassTwenty()
    {
        DialogSpecial dialog;
        dialog.updateDeviceClass(20);
        QVERIFY(!child<QPushButton>(dialog, "btnSync")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "btnLiveInsertion")->isEnabled());
        dialog.updateDeviceClass(3);
        QVERIFY(child<QPushButton>(dialog, "btnSync")->isEnabled());
        QCOMPARE(dialog.deviceClass(), quint16(3));
    }

    void fileName()
    {
        DialogSpecial dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Special Mode"));
        QVERIFY(child<QRadioButton>(dialog, "chkS19ModeWrite")->isChecked());
        QVERIFY(!child<QPushButton>(dialog, "btnSendHexFile")->isEnabled());
        dialog.setHexFilename(QStringLiteral("/tmp/x.hex"));
        QVERIFY(child<QPushButton>(dialog, "btnSendHexFile")->isEnabled());
        MessageBox::setNextFileName(QString());
        child<QPushButton>(dialog, "btnSelectFile")->click();
        QCOMPARE(MessageBox::last().title, QStringLiteral("Open HEX file"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("Motorola HEX files (*.hex)"));
        QVERIFY(child<QLineEdit>(dialog, "txtFileName")->text().isEmpty());
        QVERIFY(!child<QPushButton>(dialog, "btnSendHexFile")->isEnabled());
        dialog.on_btnSendHexFile_clicked();
        QCOMPARE(MessageBox::last().text, QStringLiteral("Please select a HEX file first!"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        dialog.setHexFilename(m_dir.filePath(QStringLiteral("missing.hex")));
        dialog.on_btnSendHexFile_clicked();
        QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
        QCOMPARE(MessageBox::last().text,
                 QStringLiteral("Can not open HEX file %1!").arg(m_dir.filePath(QStringLiteral("missing.hex"))));
        QCOMPARE(dialog.transferState(), int(DialogSpecial::Idle));
    }

    void writeVerifyAndPostFlash()
    {
        const QList<QByteArray> lines = dataRecords(12);
        // A blank line is no record: sent, the module would reject it.
        const QString file = writeFile(QStringLiteral("full.hex"), lines + QList<QByteArray>{" "});
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        QSignalSpy sentLines(&dialog, &DialogSpecial::sendHexLine);
        start(dialog, module, file);
        QVERIFY(!fileControlsEnabled(dialog));

        QVERIFY(states.reached(int(DialogSpecial::PostFlash)));
        // Written and then verified line for line, nothing sent twice.
        QCOMPARE(module.flash, lines);
        QCOMPARE(module.received, lines + lines);
        QCOMPARE(sentLines.count(), 2 * lines.size());
        QCOMPARE(sentLines.at(0).at(0).toInt(), kSerial);
        QCOMPARE(child<QLineEdit>(dialog, "txtAddress")->text(), QStringLiteral("PostFlash"));
        // The wait in special mode ended although a report came with every event loop pass.
        QVERIFY(module.commands.count(14) > 1);

        QVERIFY(states.reached(int(DialogSpecial::Idle)));
        QVERIFY(fileControlsEnabled(dialog));
        QTRY_VERIFY_WITH_TIMEOUT(!module.controls.last().bit0(), kTimeout);
        QVERIFY(!module.controls.last().setSTOP());
        // The commands in the order the module took them over.
        QList<quint32> taken;
        for (quint32 c : module.commands)
            if ((c == 3 || c == 5 || c == 6 || c == 7) && (taken.isEmpty() || taken.last() != c))
                taken << c;
        QCOMPARE(taken, QList<quint32>({3, 5, 6, 7}));
        QCOMPARE(warnings(), 0);
        QCOMPARE(dialog.linesResent(), 0);
    }

    void compareOnly_data()
    {
        QTest::addColumn<int>("differentLine");
        QTest::newRow("identical") << -1;
        QTest::newRow("third line differs") << 2;
    }

    void compareOnly()
    {
        QFETCH(int, differentLine);
        const QList<QByteArray> lines = dataRecords(6);
        const QString file = writeFile(QStringLiteral("compare.hex"), lines);
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        module.flash = lines;
        if (differentLine >= 0)
            module.flash[differentLine] = ServiceModuleDouble::sRecord('2', 0x0E0020, QByteArray(16, 'z'));
        child<QRadioButton>(dialog, "chkS19ModeCompare")->setChecked(true);
        start(dialog, module, file);
        const int end = differentLine < 0 ? DialogSpecial::Idle : DialogSpecial::Stopped;
        QVERIFY(states.reached(end));
        module.stopReporting();
        QVERIFY(!module.commands.contains(3) && !module.commands.contains(5) && !module.commands.contains(6));
        QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        if (differentLine < 0) {
            QCOMPARE(MessageBox::last().kind, MessageBox::Information);
            QCOMPARE(MessageBox::last().text, QStringLiteral("HEX file compare complete!"));
            QCOMPARE(module.received, lines);
        } else {
            QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
            QCOMPARE(MessageBox::last().text,
                     QStringLiteral("Compare Error: Programs in Controller and HEX fileare not identical!"));
            QCOMPARE(module.received.size(), differentLine + 1);
            QCOMPARE(module.commands.last(), 1u);
        }
        // The controls come back in both cases, so the next file can be sent.
        QVERIFY(fileControlsEnabled(dialog));
        QCOMPARE(MessageBox::history().size(), 1);
    }

    void checksumErrors_data()
    {
        QTest::addColumn<bool>("badLine");     // the line itself is corrupt: every try fails
        QTest::addColumn<bool>("sticky");      // the module repeats its error report
        QTest::addColumn<QList<int>>("twice"); // lines rejected twice, then taken
        QTest::addColumn<bool>("givesUp");
        QTest::addColumn<int>("resent");
        QTest::addColumn<int>("badLineSent");
        QTest::newRow("corrupt line, three tries") << true << false << QList<int>() << true << 3 << 3;
        QTest::newRow("repeated report, nothing sent between") << true << true << QList<int>() << true << 3 << 1;
        QTest::newRow("a new line starts the count again") << false << false << QList<int>{2, 5} << false << 4 << 0;
    }

    void checksumErrors()
    {
        QFETCH(bool, badLine);
        QFETCH(bool, sticky);
        QFETCH(QList<int>, twice);
        QFETCH(bool, givesUp);
        QFETCH(int, resent);
        QFETCH(int, badLineSent);
        QList<QByteArray> lines = dataRecords(8);
        QByteArray corrupt = lines[4];
        corrupt[corrupt.size() - 1] = corrupt.endsWith('0') ? '1' : '0';
        if (badLine)
            lines[4] = corrupt;
        const QString file = writeFile(QStringLiteral("checksum.hex"), lines);
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        module.stickyChecksumError = sticky;
        for (int line : twice)
            module.rejections.insert(line, 2);
        start(dialog, module, file);
        if (givesUp) {
            QVERIFY(states.reached(int(DialogSpecial::Stopped)));
            QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
            QCOMPARE(MessageBox::last().text,
                     QStringLiteral("3 Checksum Errors while transmitting HEX File. Giving Up!"));
            // Nothing after the give-up; the controls are back for another try.
            const int received = module.received.size();
            QTest::qWait(50);
            QCOMPARE(module.received.size(), received);
            QCOMPARE(module.received.last(), corrupt);
            QVERIFY(fileControlsEnabled(dialog));
        } else {
            QVERIFY(states.reached(int(DialogSpecial::PostFlash)));
            QCOMPARE(module.flash, lines);
            QCOMPARE(warnings(), 0);
        }
        QCOMPARE(module.received.count(corrupt), badLineSent);
        QCOMPARE(dialog.linesResent(), resent);
        QCOMPARE(child<QLabel>(dialog, "txtInfo")->text(), QStringLiteral("%1 HEX Lines sent again.").arg(resent));
    }

    // After a give-up the next transfer starts with its own first line, not
    // with the line the last one left to be sent again.
    void nextTransferStartsAfresh()
    {
        QList<QByteArray> bad = dataRecords(3);
        bad[1].chop(1);
        bad[1].append(bad[1].endsWith('0') ? "11" : "00");
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        start(dialog, module, writeFile(QStringLiteral("bad.hex"), bad));
        QVERIFY(states.reached(int(DialogSpecial::Stopped)));
        module.stopReporting();
        module.received.clear();
        const QList<QByteArray> good = records({0x0E1000, 0x0E1010});
        start(dialog, module, writeFile(QStringLiteral("good.hex"), good));
        QVERIFY(states.reached(int(DialogSpecial::PostFlash)));
        QCOMPARE(module.received, good + good);
    }

    void acknowledgeTimeoutSendsTheSameLineAgain()
    {
        const QList<QByteArray> lines = dataRecords(4);
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        module.swallowLine = 2;
        start(dialog, module, writeFile(QStringLiteral("ack.hex"), lines));
        QVERIFY(states.reached(int(DialogSpecial::PostFlash)));
        QCOMPARE(module.received.mid(0, lines.size() + 1),
                 lines.mid(0, 3) + QList<QByteArray>{lines[2]} + lines.mid(3));
        QCOMPARE(module.flash, lines);
        QCOMPARE(dialog.linesResent(), 0);
    }

    void addressShown_data()
    {
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QString>("shown");
        QTest::newRow("paged, high") << 20 << 0x0F8000u << "Burning: 3E:8000";
        QTest::newRow("paged, low") << 20 << 0x004000u << "Burning: 00:4000";
        QTest::newRow("plain") << 3 << 0x0F8000u << "Burning: 0F:8000";
    }

    void addressShown()
    {
        QFETCH(int, deviceClass);
        QFETCH(quint32, address);
        QFETCH(QString, shown);
        // On the paged path the first lines go out on line requests; from the
        // fourth record on they go out on acknowledgements with control 1.
        const QList<QByteArray> lines = records({0x0E0000, 0x0E0010, 0x0E0020, address, 0x0E0040});
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        dialog.updateDeviceClass(quint16(deviceClass));
        QHash<QByteArray, QString> texts;
        QLineEdit *txtAddress = child<QLineEdit>(dialog, "txtAddress");
        connect(&dialog, &DialogSpecial::sendHexLine, this, [&](int, const QByteArray &line) {
            if (!texts.contains(line))
                texts.insert(line, txtAddress->text());
        });
        start(dialog, module, writeFile(QStringLiteral("paged.hex"), lines));
        QVERIFY(states.reached(int(DialogSpecial::PostFlash)));
        QCOMPARE(texts.value(lines[4]), shown);
        QCOMPARE(module.flash, lines);
    }

    // A file the transfer cannot use stops before the module is asked for anything.
    void unusableFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        const QByteArray longest = ServiceModuleDouble::sRecord('2', 0x0E0000, QByteArray(251, 'x'));
        QVERIFY(longest.size() == DialogSpecial::MaxLineLength);
        const QString tooLong = writeFile(QStringLiteral("long.hex"),
                                          dataRecords(2) + QList<QByteArray>{longest + "00"} + dataRecords(2));
        QTest::newRow("line too long")
            << tooLong << QStringLiteral("Line 5 of HEX file %1 is longer than 514 characters").arg(tooLong);
        const QString blank = writeFile(QStringLiteral("blank.hex"), {"", "  ", ""});
        QTest::newRow("no records") << blank << QStringLiteral("HEX file %1 holds no records.").arg(blank);
        // Opens, but every read fails.
        QTest::newRow("unreadable") << "/proc/self/mem"
                                    << QStringLiteral("Can not read HEX file /proc/self/mem: ");
    }

    void unusableFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        DialogSpecial dialog;
        QSignalSpy control(&dialog, &DialogSpecial::setModuleControl);
        QSignalSpy special(&dialog, &DialogSpecial::setSpecialControl);
        QSignalSpy lines(&dialog, &DialogSpecial::sendHexLine);
        dialog.setHexFilename(file);
        child<QPushButton>(dialog, "btnSendHexFile")->click();
        QCOMPARE(dialog.transferState(), int(DialogSpecial::Idle));
        QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
        QVERIFY2(MessageBox::last().text.startsWith(message), qPrintable(MessageBox::last().text));
        QCOMPARE(control.count() + special.count() + lines.count(), 0);
        QVERIFY(fileControlsEnabled(dialog));
        QCOMPARE(dialog.transferRunning(), false);
    }

    // The file changes under a running transfer: the verify pass meets a line
    // the module does not take and stops there.
    void lineTooLongDuringTransfer()
    {
        const QList<QByteArray> lines = dataRecords(3);
        const QString file = writeFile(QStringLiteral("changing.hex"), lines);
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        // Rewritten once the last line of the write pass is out, before the module answers it.
        connect(&dialog, &DialogSpecial::sendHexLine, this, [&](int, const QByteArray &) {
            if (module.received.size() == lines.size())
                writeFile(QStringLiteral("changing.hex"), {lines[0], QByteArray(600, '1'), lines[2]});
        });
        start(dialog, module, file);
        QVERIFY(states.reached(int(DialogSpecial::Stopped)));
        QVERIFY2(MessageBox::last().text.contains(QStringLiteral("Line 2 of HEX file")),
                 qPrintable(MessageBox::last().text));
        const int received = module.received.size();
        QTest::qWait(50);
        QCOMPARE(module.received.size(), received);
        QCOMPARE(module.received, lines + QList<QByteArray>{lines[0]});
        QCOMPARE(module.commands.last(), 1u);
        QVERIFY(fileControlsEnabled(dialog));
    }

    void closingDuringTransfer()
    {
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        QSignalSpy wanted(&dialog, &DialogSpecial::specialReportsWanted);
        dialog.show();
        start(dialog, module, writeFile(QStringLiteral("close.hex"), dataRecords(30)));
        // Held in the write pass while the close is tried.
        QVERIFY(QTest::qWaitFor([&] { return module.received.size() > 2; }, kTimeout));
        module.stopReporting();
        QCOMPARE(dialog.transferState(), int(DialogSpecial::WritePass));
        MessageBox::setNextAnswer(QMessageBox::No);
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
        QCOMPARE(MessageBox::last().text,
                 QStringLiteral("Update is running! Close anyway? (Update will continue in background)"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QVERIFY(dialog.close());
        QVERIFY(!dialog.isVisible());
        // Reports are still wanted, and the transfer goes on to its end.
        QCOMPARE(wanted.last().at(0).toBool(), true);
        module.startReporting();
        QVERIFY(states.reached(int(DialogSpecial::Idle)));
        QCOMPARE(wanted.last().at(0).toBool(), false);
        QCOMPARE(module.flash.size(), 32);
        // Idle: closes without a question.
        dialog.show();
        MessageBox::clearHistory();
        QVERIFY(dialog.close());
        QVERIFY(MessageBox::history().isEmpty());
    }

    // A module that never takes the special mode: the dialog says so, keeps
    // waiting without writing anything, and Cancel ends it.
    void noAnswerIsShownAndCancelEnds()
    {
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        dialog.setStallTimeout(100);
        module.takesSpecialMode = false;
        QLabel *status = child<QLabel>(dialog, "lblTransferStatus");
        start(dialog, module, writeFile(QStringLiteral("stall.hex"), dataRecords(3)));
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral("does not answer step 2")), kTimeout);
        QVERIFY(status->text().contains(QStringLiteral("No line has been written.")));
        QCOMPARE(dialog.transferState(), int(DialogSpecial::AskingSpecialMode));
        // Another module's answers (the current module changed) do not drive the transfer.
        ModuleStatus special;
        special.setIsSPMD(true);
        dialog.updateModuleStatus(kSerial + 1, special);
        QCOMPARE(dialog.transferState(), int(DialogSpecial::AskingSpecialMode));
        QVERIFY(module.received.isEmpty() && module.commands.isEmpty());
        // The default name arriving with a reopen does not replace the running file.
        dialog.setHexFilename(QStringLiteral("other.hex"));
        QVERIFY(child<QLineEdit>(dialog, "txtFileName")->text().endsWith(QStringLiteral("stall.hex")));
        QVERIFY(!child<QPushButton>(dialog, "btnSendHexFile")->isEnabled());

        child<QPushButton>(dialog, "btnCancel")->click();
        QCOMPARE(dialog.transferState(), int(DialogSpecial::Idle));
        QVERIFY(fileControlsEnabled(dialog));
        QVERIFY(!status->text().contains(QStringLiteral("does not answer")));
        QVERIFY(module.commands.isEmpty());
    }

    // Cancel in a pass the module has taken over sends it back to standby.
    void cancelDuringWritePass()
    {
        DialogSpecial dialog;
        ServiceModuleDouble module(kSerial);
        wire(dialog, module);
        States states(dialog);
        start(dialog, module, writeFile(QStringLiteral("cancel.hex"), dataRecords(200)));
        QVERIFY(QTest::qWaitFor([&] { return module.received.size() > 3; }, kTimeout));
        module.stopReporting();
        QCOMPARE(dialog.transferState(), int(DialogSpecial::WritePass));
        module.startReporting();
        child<QPushButton>(dialog, "btnCancel")->click();
        QCOMPARE(dialog.transferState(), int(DialogSpecial::Idle));
        QCOMPARE(module.commands.last(), 1u);
        const int received = module.received.size();
        QTest::qWait(50);
        QCOMPARE(module.received.size(), received);
        QVERIFY(fileControlsEnabled(dialog));
    }
};

VEXA_TEST_MAIN(TestDialogSpecial)
#include "tst_dialogspecial.moc"
