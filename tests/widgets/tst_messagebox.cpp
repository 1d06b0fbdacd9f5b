// The dialog helper: armed answers, values and file names; the history; and
// no blocking window on the offscreen platform.

#include "messagebox.h"

#include "testenv.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QtTest>

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void armedAnswer_data();
    void armedAnswer();
    void answersQueueInOrder();
    void unarmedReturnsAtOnce();
    void inputValues();
    void intAndDoubleClampToRange();
    void itemByIndexOrText();
    void fileNames();
    void hooksDoNotCross();
    void ownDialog_data();
    void ownDialog();
};

void TestMessageBox::init()
{
    MessageBox::clearHooks();
    MessageBox::clearHistory();
}

void TestMessageBox::armedAnswer_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("answer");
    QTest::newRow("critical") << int(MessageBox::Critical) << int(QMessageBox::Ok);
    QTest::newRow("warning") << int(MessageBox::Warning) << int(QMessageBox::Cancel);
    QTest::newRow("information") << int(MessageBox::Information) << int(QMessageBox::Ok);
    QTest::newRow("question yes") << int(MessageBox::Question) << int(QMessageBox::Yes);
    QTest::newRow("question no") << int(MessageBox::Question) << int(QMessageBox::No);
}

void TestMessageBox::armedAnswer()
{
    QFETCH(int, kind);
    QFETCH(int, answer);
    MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
    QCOMPARE(MessageBox::pendingAnswers(), 1);
    const QString title = QStringLiteral("vexa SNMP Control");
    const QString text = QStringLiteral("Text %1").arg(kind);
    QMessageBox::StandardButton result = QMessageBox::NoButton;
    switch (MessageBox::Kind(kind)) {
    case MessageBox::Critical:
        result = MessageBox::critical(nullptr, title, text);
        break;
    case MessageBox::Warning:
        result = MessageBox::warning(nullptr, title, text, QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageBox::Information:
        result = MessageBox::information(nullptr, title, text);
        break;
    default:
        result = MessageBox::question(nullptr, title, text);
        break;
    }
    QCOMPARE(int(result), answer);
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    QCOMPARE(MessageBox::history().size(), 1);
    const MessageBox::Record r = MessageBox::last();
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.title, title);
    QCOMPARE(r.text, text);
    QCOMPARE(int(r.answer), answer);
    QVERIFY(r.armed);
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeModalWidget());
}

void TestMessageBox::answersQueueInOrder()
{
    MessageBox::setNextAnswer(QMessageBox::Yes);
    MessageBox::setNextAnswer(QMessageBox::No);
    QCOMPARE(MessageBox::question(nullptr, "t", "first"), QMessageBox::Yes);
    QCOMPARE(MessageBox::question(nullptr, "t", "second"), QMessageBox::No);
    const auto history = MessageBox::history();
    QCOMPARE(history.size(), 2);
    QCOMPARE(history[0].text, QStringLiteral("first"));
    QCOMPARE(history[1].text, QStringLiteral("second"));
    MessageBox::clearHistory();
    QVERIFY(MessageBox::history().isEmpty());
    QVERIFY(MessageBox::last().title.isEmpty());
}

void TestMessageBox::unarmedReturnsAtOnce()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    QElapsedTimer t;
    t.start();
    QCOMPARE(MessageBox::critical(nullptr, "t", "nobody answers"), QMessageBox::NoButton);
    bool ok = true;
    QCOMPARE(MessageBox::getText(nullptr, "t", "label", QLineEdit::Normal, "x", &ok), QString());
    QVERIFY(!ok);
    QVERIFY(MessageBox::getOpenFileName(nullptr, "open").isEmpty());
    QVERIFY(t.elapsed() < 5000);
    QCOMPARE(MessageBox::history().size(), 3);
    QVERIFY(!MessageBox::history().at(0).armed);
    QCOMPARE(MessageBox::history().at(0).text, QStringLiteral("nobody answers"));
}

void TestMessageBox::inputValues()
{
    bool ok = false;
    MessageBox::setNextValue(QStringLiteral("hello"));
    QCOMPARE(MessageBox::getText(nullptr, "title", "Name:", QLineEdit::Normal, QString(), &ok),
             QStringLiteral("hello"));
    QVERIFY(ok);
    QCOMPARE(MessageBox::last().kind, MessageBox::InputText);
    QCOMPARE(MessageBox::last().text, QStringLiteral("Name:"));
    QCOMPARE(MessageBox::last().value.toString(), QStringLiteral("hello"));

    // An invalid value is Cancel.
    MessageBox::setNextValue(QVariant());
    QCOMPARE(MessageBox::getText(nullptr, "title", "Name:", QLineEdit::Normal, QStringLiteral("old"), &ok),
             QString());
    QVERIFY(!ok);
    QVERIFY(!MessageBox::last().value.isValid());

    MessageBox::setNextValue(QVariant());
    QCOMPARE(MessageBox::getInt(nullptr, "t", "n", 42, 0, 100, 1, &ok), 42);
    QVERIFY(!ok);

    MessageBox::setNextValue(QStringLiteral("not a number"));
    MessageBox::getDouble(nullptr, "t", "d", 1.5, 0, 10, 2, &ok);
    QVERIFY(!ok);
}

void TestMessageBox::intAndDoubleClampToRange()
{
    bool ok = false;
    MessageBox::setNextValue(7);
    QCOMPARE(MessageBox::getInt(nullptr, "t", "n", 0, 0, 10, 1, &ok), 7);
    QVERIFY(ok);
    MessageBox::setNextValue(700);
    QCOMPARE(MessageBox::getInt(nullptr, "t", "n", 0, 0, 10, 1, &ok), 10);
    MessageBox::setNextValue(-3.25);
    QCOMPARE(MessageBox::getDouble(nullptr, "t", "v", 0, -5, 5, 2, &ok), -3.25);
    QVERIFY(ok);
    MessageBox::setNextValue(QStringLiteral("12.5"));
    QCOMPARE(MessageBox::getDouble(nullptr, "t", "v", 0, -5, 5, 2, &ok), 5.0);
    QCOMPARE(MessageBox::last().kind, MessageBox::InputDouble);
}

void TestMessageBox::itemByIndexOrText()
{
    const QStringList items = {QStringLiteral("slot 0"), QStringLiteral("slot 3"), QStringLiteral("slot 7")};
    bool ok = false;
    MessageBox::setNextValue(2);
    QCOMPARE(MessageBox::getItem(nullptr, "t", "Module:", items, 0, false, &ok), QStringLiteral("slot 7"));
    QVERIFY(ok);
    MessageBox::setNextValue(QStringLiteral("slot 3"));
    QCOMPARE(MessageBox::getItem(nullptr, "t", "Module:", items, 0, false, &ok), QStringLiteral("slot 3"));
    QVERIFY(ok);
    // Not an item of a non-editable list, or an index out of range: not accepted.
    MessageBox::setNextValue(QStringLiteral("slot 9"));
    MessageBox::getItem(nullptr, "t", "Module:", items, 0, false, &ok);
    QVERIFY(!ok);
    MessageBox::setNextValue(5);
    MessageBox::getItem(nullptr, "t", "Module:", items, 0, false, &ok);
    QVERIFY(!ok);
    MessageBox::setNextValue(QStringLiteral("typed"));
    QCOMPARE(MessageBox::getItem(nullptr, "t", "Module:", items, 0, true, &ok), QStringLiteral("typed"));
    QVERIFY(ok);
}

void TestMessageBox::fileNames()
{
    MessageBox::setNextFileName(QStringLiteral("/tmp/a.hex"));
    MessageBox::setNextFileName(QString());
    MessageBox::setNextFileName(QStringLiteral("/tmp/out.csv"));
    MessageBox::setNextFileName(QStringLiteral("/tmp"));
    QCOMPARE(MessageBox::getOpenFileName(nullptr, "Open HEX file", QString(), "Motorola HEX files (*.hex)"),
             QStringLiteral("/tmp/a.hex"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("Open HEX file"));
    QCOMPARE(MessageBox::last().text, QStringLiteral("Motorola HEX files (*.hex)"));
    QCOMPARE(MessageBox::last().kind, MessageBox::OpenFileName);
    QVERIFY(MessageBox::getOpenFileName(nullptr, "Open").isEmpty()); // cancelled
    QCOMPARE(MessageBox::getSaveFileName(nullptr, "Save"), QStringLiteral("/tmp/out.csv"));
    QCOMPARE(MessageBox::getExistingDirectory(nullptr, "Dir"), QStringLiteral("/tmp"));
    QCOMPARE(MessageBox::pendingFileNames(), 0);
    QCOMPARE(MessageBox::history().size(), 4);
}

// An armed answer is not eaten by an input or file dialog and vice versa.
void TestMessageBox::hooksDoNotCross()
{
    MessageBox::setNextAnswer(QMessageBox::Yes);
    MessageBox::setNextValue(3);
    MessageBox::setNextFileName(QStringLiteral("/tmp/x"));
    bool ok = false;
    QCOMPARE(MessageBox::getOpenFileName(nullptr, "f"), QStringLiteral("/tmp/x"));
    QCOMPARE(MessageBox::getInt(nullptr, "t", "n", 0, 0, 10, 1, &ok), 3);
    QCOMPARE(MessageBox::question(nullptr, "q", "?"), QMessageBox::Yes);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    MessageBox::clearHooks();
    QCOMPARE(MessageBox::pendingAnswers(), 0);
    QCOMPARE(MessageBox::question(nullptr, "q", "?"), QMessageBox::NoButton);
}

void TestMessageBox::ownDialog_data()
{
    QTest::addColumn<int>("answer"); // -1: none armed
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("records");

    QTest::newRow("ok") << int(QMessageBox::Ok) << QVariant() << int(QDialog::Accepted) << "10.0.0.1" << 1;
    QTest::newRow("yes") << int(QMessageBox::Yes) << QVariant() << int(QDialog::Accepted) << "10.0.0.1" << 1;
    QTest::newRow("ok with a value") << int(QMessageBox::Ok) << QVariant(QStringLiteral("127.0.0.9"))
                                     << int(QDialog::Accepted) << "127.0.0.9" << 2;
    QTest::newRow("cancel leaves the value armed") << int(QMessageBox::Cancel) << QVariant(QStringLiteral("127.0.0.9"))
                                                   << int(QDialog::Rejected) << "10.0.0.1" << 1;
    // Offscreen, nobody could close it: cancelled without opening.
    QTest::newRow("unarmed") << -1 << QVariant() << int(QDialog::Rejected) << "10.0.0.1" << 0;
}

void TestMessageBox::ownDialog()
{
    QFETCH(int, answer);
    QFETCH(QVariant, value);
    QFETCH(int, result);
    QFETCH(QString, text);
    QFETCH(int, records);

    if (answer >= 0)
        MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
    if (value.isValid())
        MessageBox::setNextValue(value);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("vexa SNMP Control"));
    QString current = QStringLiteral("10.0.0.1");
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(MessageBox::execDialog(dialog, QStringLiteral("Enter Crate IP Address:"), current,
                                    [&current](const QString &t) { current = t; }),
             result);
    QVERIFY(elapsed.elapsed() < 1000);
    QCOMPARE(current, text);
    QCOMPARE(dialog.result(), result);
    QCOMPARE(MessageBox::history().size(), records);
    if (records > 0) {
        QCOMPARE(MessageBox::history().first().kind, MessageBox::Question);
        QCOMPARE(MessageBox::history().first().title, QStringLiteral("vexa SNMP Control"));
        QCOMPARE(MessageBox::history().first().text, QStringLiteral("Enter Crate IP Address:"));
    }
    QCOMPARE(MessageBox::pendingValues(), (value.isValid() && records < 2) ? 1 : 0);
}

VEXA_TEST_MAIN(TestMessageBox)

#include "tst_messagebox.moc"
