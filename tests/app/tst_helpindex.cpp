// Help > Index: the index in the working directory first, then the one installed
// beside the program, and the warning only when neither exists.

#include "cratesimprocess.h"
#include "messagebox.h"
#include "testenv.h"
#include "vexacontrol.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestHelpIndex : public QObject
{
    Q_OBJECT

    CrateSimProcess m_sim;
    UrlCatcher m_catcher;

    // This test's program lies in a folder of its own, so the installed index it
    // creates is seen by no other test.
    static QString installedIndex()
    {
        return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                               QStringLiteral("/../share/vexa/documentation/index.html"));
    }

    static bool writeFile(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("<html></html>") > 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
        TestEnv::setCrateAddress(m_sim.address());
        QVERIFY(!QFileInfo::exists(installedIndex()));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_catcher, "open");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QFile::remove(installedIndex());
        m_sim.stop();
    }

    void opensTheRightIndex_data()
    {
        QTest::addColumn<bool>("inWorkingDir");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("expected"); // "cwd", "installed" or "warning"
        QTest::newRow("working directory only") << true << false << "cwd";
        QTest::newRow("both: working directory wins") << true << true << "cwd";
        QTest::newRow("installed only") << false << true << "installed";
        QTest::newRow("neither") << false << false << "warning";
    }

    void opensTheRightIndex()
    {
        QFETCH(bool, inWorkingDir);
        QFETCH(bool, installed);
        QFETCH(QString, expected);
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        m_catcher.opened.clear();
        QFile::remove(installedIndex());
        if (installed)
            QVERIFY(writeFile(installedIndex()));

        QTemporaryDir dir;
        const QString cwdIndex = QDir(dir.path()).canonicalPath() + QStringLiteral("/documentation/index.html");
        if (inWorkingDir)
            QVERIFY(writeFile(cwdIndex));

        VexaControl window;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        window.findChild<QAction *>(QStringLiteral("actionIndex"))->trigger();
        QDir::setCurrent(old);

        if (expected == QLatin1String("warning")) {
            QVERIFY(m_catcher.opened.isEmpty());
            QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
            QCOMPARE(MessageBox::last().text,
                     QStringLiteral("Documentation index file not found:\n\n%1").arg(cwdIndex));
            return;
        }
        QVERIFY(MessageBox::history().isEmpty());
        QCOMPARE(m_catcher.opened.size(), 1);
        QCOMPARE(m_catcher.opened.first().toLocalFile(),
                 expected == QLatin1String("cwd") ? cwdIndex : installedIndex());
    }
};

int main(int argc, char *argv[])
{
    // A private home and settings store before anything reads them.
    TestEnv::isolate();
    QApplication app(argc, argv);
    TestHelpIndex test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_helpindex.moc"
