// Start-up of the SNMP layer against incomplete MIBs: the first missing object
// is named, then the fatal box "Firmware Update" appears and the program ends
// with exit code 1. Each case runs in a child process of this executable,
// because the failure ends the process.
#include "firmwareupdate.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "snmpsession.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace crateflash;

namespace {
const char ChildVariable[] = "FLASH_STARTUP_CHILD_MIBDIR";

// Writes the crate MIB into dir without the OBJECT-TYPE definition of object.
bool writeTrimmedMib(const QString &dir, const QString &object)
{
    QFile source(QStringLiteral(VEXA_SOURCE_MIBDIR "/WIENER-CRATE-MIB.txt"));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QString text = QString::fromLatin1(source.readAll());
    if (!object.isEmpty()) {
        const QRegularExpression definition(QStringLiteral("\\n%1\\s+OBJECT-TYPE.*?::=\\s*\\{[^}]*\\}")
                                                .arg(QRegularExpression::escape(object)),
                                            QRegularExpression::DotMatchesEverythingOption);
        const qsizetype before = text.size();
        text.replace(definition, QStringLiteral("\n"));
        if (text.size() == before)
            return false;
    }
    QFile target(dir + QStringLiteral("/WIENER-CRATE-MIB.txt"));
    return target.open(QIODevice::WriteOnly) && target.write(text.toLatin1()) > 0;
}

int runChild(int argc, char *argv[], const QString &mibDir)
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    Snmp::setLocalMibDirectories({mibDir});
    MessageBox::setNextAnswer(QMessageBox::Ok);
    // The process ends inside the constructor; tell the parent what was shown.
    std::atexit([] {
        for (const MessageBox::Record &r : MessageBox::history())
            std::fprintf(stderr, "BOX[%d]|%s|%s\n", int(r.kind), qPrintable(r.title),
                         qPrintable(QString(r.text).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
        std::fflush(stderr);
    });
    FirmwareUpdate update;
    MainWindow::endIfSnmpNotStarted(update);
    std::printf("CHILD SURVIVED\n");
    return 0;
}
} // namespace

class FlashStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void missingObjectEndsTheProgram_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("lastTranslated");
        QTest::newRow("fan speed") << "fanSpeed"
                                   << "OID fanSpeed.1 not found!"
                                   << "*** Translate OIDs ***";
        QTest::newRow("transmit object") << "canTransmitHv"
                                         << "OID canTransmitHv.0 not found!"
                                         << "*** Translate OIDs ***";
        QTest::newRow("channel object") << "outputConfigMaxCurrent"
                                        << "OID outputConfigMaxCurrent.1 not found!"
                                        << "*** Translate OIDs ***";
    }
    void missingObjectEndsTheProgram()
    {
        QFETCH(QString, object);
        QFETCH(QString, missing);
        QFETCH(QString, lastTranslated);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeTrimmedMib(dir.path(), object));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(ChildVariable), dir.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(child.readAllStandardError());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        QVERIFY2(!out.contains(QStringLiteral("CHILD SURVIVED")), qPrintable(out));
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.contains(QStringLiteral("*** Initialise SNMP ***")), qPrintable(out));
        QVERIFY2(lines.contains(lastTranslated), qPrintable(out));
        QVERIFY2(lines.contains(missing), qPrintable(out));
        // Only the first missing name is reported; later ones are not tried.
        QCOMPARE(out.count(QStringLiteral("not found!")), 1);
        QVERIFY(!lines.contains(QStringLiteral("*** Initialise SNMP done ***")));
        QVERIFY2(err.contains(QStringLiteral("BOX[%1]|Firmware Update|Error while initializing SNMP!\\nMost likely "
                                             "the WIENER-CRATE-MIB.txt is missing in /usr/share/snmp/mibs.\\n\\n"
                                             "Program will be terminated.")
                                  .arg(int(MessageBox::Critical))),
                 qPrintable(err));
    }

    void missingMibModuleEndsTheProgram()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(ChildVariable), dir.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(child.readAllStandardError());
        QCOMPARE(child.exitCode(), 1);
        QVERIFY2(out.contains(QStringLiteral("Unable to load SNMP MIB file \"WIENER-CRATE-MIB\"")), qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("*** Translate OIDs ***")));
        QVERIFY2(err.contains(QStringLiteral("|Firmware Update|Error while initializing SNMP!")), qPrintable(err));
    }

    void completeMibStartsInAChildToo()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeTrimmedMib(dir.path(), QString()));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(ChildVariable), dir.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.contains(QStringLiteral("*** Initialise SNMP done ***")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("CHILD SURVIVED")));
    }
};

int main(int argc, char *argv[])
{
    const QByteArray mibDir = qgetenv(ChildVariable);
    if (!mibDir.isEmpty())
        return runChild(argc, argv, QString::fromLocal8Bit(mibDir));
    TestEnv::isolate();
    QApplication app(argc, argv);
    FlashStartupTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_flashstartup.moc"
