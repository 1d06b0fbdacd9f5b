// The address lock across real processes: this test binary re-executes itself
// with "--locker-child" to play the other program.

#include "addresslocker.h"
#include "settings.h"

#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTextStream>
#include <QThread>
#include <QtTest>

namespace
{

const char ChildArgument[] = "--locker-child";

// Child side: one operation on the shared store, the result on stdout as
// "<result> <pid>", exit code 0 for true and 1 for false.
int runChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Never touch a real settings directory: the parent's private one is inherited.
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    if (config.isEmpty() || qgetenv("VEXA_LOCKER_TEST") != "1")
        return 3;
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 3;
    const QString op = args.at(2);
    const QString address = args.at(3);
    QTextStream out(stdout);
    if (op == QLatin1String("race")) {
        // Ready, then wait for the start file so both racers start together.
        out << "ready" << Qt::endl;
        const QString startFile = args.value(4);
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(startFile)) {
            if (t.elapsed() > 20000)
                return 3;
            QThread::usleep(200);
        }
    }
    AddressLocker locker;
    bool result = false;
    if (op == QLatin1String("lock") || op == QLatin1String("race"))
        result = locker.lock(address);
    else if (op == QLatin1String("forcelock"))
        result = locker.forceLock(address);
    else if (op == QLatin1String("unlock"))
        result = locker.unlock(address);
    else if (op == QLatin1String("isfree"))
        result = locker.isFree(address);
    else if (op == QLatin1String("lockedbyme"))
        result = locker.isLockedByMe(address);
    else
        return 3;
    out << (result ? 1 : 0) << ' ' << locker.pid() << Qt::endl;
    return result ? 0 : 1;
}

struct ChildResult {
    int exitCode = -1;
    qint64 pid = -1;
};

} // namespace

class TestAddressLocker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void lockInOneProcess();
    void emptyAddress();
    void storeFormat();
    void unreadableValueIsFree();
    void secondProcessSeesLock();
    void unlockByOtherPidKeepsKey();
    void forceLockTakesOver();
    void staleKeyStaysLocked();
    void lockedAddressesListsEveryHolder();
    void racingProcessesOneWins();
    void unwritableStoreIsNoLock();
    void everyWriteMovesFileTime();

private:
    ChildResult child(const QString &op, const QString &address);
    QString storeFile() const { return Settings::storeFileName(QStringLiteral("addresslock")); }
};

ChildResult TestAddressLocker::child(const QString &op, const QString &address)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(ChildArgument), op, address});
    ChildResult r;
    if (!p.waitForFinished(30000))
        return r;
    const QList<QByteArray> words = p.readAllStandardOutput().trimmed().split(' ');
    r.exitCode = p.exitCode();
    if (words.size() == 2)
        r.pid = words[1].toLongLong();
    return r;
}

void TestAddressLocker::init()
{
    QFile::remove(storeFile());
    QDir().rmdir(storeFile());
}

void TestAddressLocker::lockInOneProcess()
{
    AddressLocker locker;
    QCOMPARE(locker.pid(), QCoreApplication::applicationPid());
    QCOMPARE(locker.application(), QStringLiteral("addresslock"));
    QCOMPARE(locker.organisation(), QStringLiteral("Vexa Systems GmbH"));
    const QString a = QStringLiteral("127.0.0.5");
    QVERIFY(locker.isFree(a));
    QVERIFY(!locker.isLockedByMe(a));
    QVERIFY(locker.lock(a));
    QVERIFY(!locker.isFree(a));
    QVERIFY(locker.isLockedByMe(a));
    // Held (even by ourselves): lock changes nothing and fails.
    QVERIFY(!locker.lock(a));
    // Another object of the same process is the same holder.
    AddressLocker other;
    QVERIFY(other.isLockedByMe(a));
    QVERIFY(other.unlock(a));
    QVERIFY(locker.isFree(a));
    QVERIFY(!locker.unlock(a));
    QVERIFY(locker.forceLock(a));
    QVERIFY(locker.forceLock(a));
    QVERIFY(locker.isLockedByMe(a));
    QVERIFY(locker.unlock(a));
    QVERIFY(locker.lockedAddresses().isEmpty());
}

void TestAddressLocker::emptyAddress()
{
    AddressLocker locker;
    QVERIFY(locker.isFree(QString()));
    QVERIFY(!locker.isLockedByMe(QString()));
    QVERIFY(!locker.lock(QString()));
    QVERIFY(!locker.forceLock(QString()));
    QVERIFY(!locker.unlock(QString()));
    QVERIFY(locker.lockedAddresses().isEmpty());
}

void TestAddressLocker::storeFormat()
{
    AddressLocker locker;
    QVERIFY(locker.lock(QStringLiteral("192.168.16.228")));
    QCOMPARE(locker.fileName(), storeFile());
    QVERIFY(storeFile().startsWith(TestEnv::configDir() + QStringLiteral("/Vexa Systems GmbH/")));
    QFile file(storeFile());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    // One key per address, the address text as it is, the pid as a number.
    QVERIFY2(text.contains(QStringLiteral("192.168.16.228=%1\n").arg(QCoreApplication::applicationPid())),
             qPrintable(text));
    QSettings plain(storeFile(), QSettings::IniFormat);
    QCOMPARE(plain.value(QStringLiteral("192.168.16.228")).toLongLong(), QCoreApplication::applicationPid());
    QVERIFY(locker.unlock(QStringLiteral("192.168.16.228")));
}

void TestAddressLocker::unreadableValueIsFree()
{
    {
        QSettings plain(storeFile(), QSettings::IniFormat);
        plain.setValue(QStringLiteral("127.0.0.6"), QStringLiteral("nobody"));
        plain.setValue(QStringLiteral("127.0.0.7"), QStringLiteral("-12"));
        plain.sync();
    }
    AddressLocker locker;
    QVERIFY(locker.isFree(QStringLiteral("127.0.0.6")));
    QVERIFY(locker.isFree(QStringLiteral("127.0.0.7")));
    QVERIFY(locker.lock(QStringLiteral("127.0.0.6")));
    QVERIFY(locker.isLockedByMe(QStringLiteral("127.0.0.6")));
}

void TestAddressLocker::secondProcessSeesLock()
{
    const QString a = QStringLiteral("127.0.0.5");
    AddressLocker locker;
    QVERIFY(locker.lock(a));
    QCOMPARE(child(QStringLiteral("isfree"), a).exitCode, 1);
    QCOMPARE(child(QStringLiteral("lockedbyme"), a).exitCode, 1);
    const ChildResult second = child(QStringLiteral("lock"), a);
    QCOMPARE(second.exitCode, 1);
    QVERIFY(second.pid > 0);
    QVERIFY(second.pid != locker.pid());
    QCOMPARE(locker.holder(a), locker.pid());
    // A free address is free for the child as well, and the child can take it.
    QCOMPARE(child(QStringLiteral("isfree"), QStringLiteral("127.0.0.50")).exitCode, 0);
    const ChildResult taken = child(QStringLiteral("lock"), QStringLiteral("127.0.0.50"));
    QCOMPARE(taken.exitCode, 0);
    QCOMPARE(locker.holder(QStringLiteral("127.0.0.50")), taken.pid);
    QVERIFY(!locker.isFree(QStringLiteral("127.0.0.50")));
}

void TestAddressLocker::unlockByOtherPidKeepsKey()
{
    const QString a = QStringLiteral("127.0.0.5");
    AddressLocker locker;
    QVERIFY(locker.lock(a));
    QCOMPARE(child(QStringLiteral("unlock"), a).exitCode, 1);
    QCOMPARE(locker.holder(a), locker.pid());
    QVERIFY(locker.isLockedByMe(a));
    QVERIFY(locker.lockedAddresses().contains(a));
}

void TestAddressLocker::forceLockTakesOver()
{
    const QString a = QStringLiteral("127.0.0.5");
    AddressLocker locker;
    QVERIFY(locker.lock(a));
    const ChildResult other = child(QStringLiteral("forcelock"), a);
    QCOMPARE(other.exitCode, 0);
    QCOMPARE(locker.holder(a), other.pid);
    QVERIFY(!locker.isLockedByMe(a));
    // The first holder closing afterwards leaves the new holder's key alone.
    QVERIFY(!locker.unlock(a));
    QCOMPARE(locker.holder(a), other.pid);
    // And we can take it back the same way.
    QVERIFY(locker.forceLock(a));
    QVERIFY(locker.isLockedByMe(a));
}

void TestAddressLocker::staleKeyStaysLocked()
{
    const QString a = QStringLiteral("127.0.0.8");
    const ChildResult gone = child(QStringLiteral("lock"), a); // exits without unlocking
    QCOMPARE(gone.exitCode, 0);
    AddressLocker locker;
    QVERIFY(!locker.isFree(a));
    QVERIFY(!locker.lock(a));
    QCOMPARE(locker.holder(a), gone.pid);
    QVERIFY(locker.forceLock(a));
    QVERIFY(locker.isLockedByMe(a));
}

void TestAddressLocker::lockedAddressesListsEveryHolder()
{
    AddressLocker locker;
    QVERIFY(locker.lock(QStringLiteral("127.0.0.10")));
    QCOMPARE(child(QStringLiteral("lock"), QStringLiteral("127.0.0.11")).exitCode, 0);
    QCOMPARE(child(QStringLiteral("forcelock"), QStringLiteral("127.0.0.12")).exitCode, 0);
    QStringList all = locker.lockedAddresses();
    all.sort();
    QCOMPARE(all, QStringList({"127.0.0.10", "127.0.0.11", "127.0.0.12"}));
}

// Two processes lock one free address at the same instant: exactly one wins,
// and the store names the winner.
void TestAddressLocker::racingProcessesOneWins()
{
    const int rounds = 40;
    const QString a = QStringLiteral("127.0.0.20");
    AddressLocker locker;
    int firstWins = 0;
    for (int round = 0; round < rounds; ++round) {
        // Free the address left by the previous winner.
        QVERIFY(locker.forceLock(a));
        QVERIFY(locker.unlock(a));
        QVERIFY(locker.isFree(a));

        const QString startFile = TestEnv::homeDir() + QStringLiteral("/race-start-%1").arg(round);
        QProcess racers[2];
        for (QProcess &p : racers) {
            p.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(ChildArgument), QStringLiteral("race"), a, startFile});
        }
        for (QProcess &p : racers) {
            QVERIFY(p.waitForStarted(10000));
            while (!p.canReadLine())
                QVERIFY2(p.waitForReadyRead(10000), "racer did not get ready");
            QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
        }
        QFile start(startFile);
        QVERIFY(start.open(QIODevice::WriteOnly));
        start.close();

        int winners = 0;
        qint64 winnerPid = -1;
        for (int i = 0; i < 2; ++i) {
            QVERIFY(racers[i].waitForFinished(30000));
            const QList<QByteArray> words = racers[i].readAllStandardOutput().trimmed().split(' ');
            QCOMPARE(words.size(), 2);
            QVERIFY2(racers[i].exitCode() == 0 || racers[i].exitCode() == 1,
                     qPrintable(QStringLiteral("exit code %1").arg(racers[i].exitCode())));
            if (racers[i].exitCode() == 0) {
                ++winners;
                winnerPid = words[1].toLongLong();
                if (i == 0)
                    ++firstWins;
            }
        }
        if (winners != 1) {
            for (QProcess &p : racers)
                qWarning() << "racer" << p.processId() << p.readAllStandardError();
        }
        QVERIFY2(winners == 1, qPrintable(QStringLiteral("round %1: %2 winners").arg(round).arg(winners)));
        QCOMPARE(locker.holder(a), winnerPid);
    }
    qInfo("first racer won %d of %d rounds", firstWins, rounds);
}

// A store that cannot be written must not report a lock that is not held.
void TestAddressLocker::unwritableStoreIsNoLock()
{
    // A directory in place of the INI file cannot be written, also not by root.
    QVERIFY(QDir().mkpath(storeFile()));
    AddressLocker locker;
    QVERIFY(!locker.lock(QStringLiteral("127.0.0.30")));
    QVERIFY(!locker.forceLock(QStringLiteral("127.0.0.31")));
    QVERIFY(QDir().rmdir(storeFile()));
}

// Every write leaves a modification time later than the one before, also when
// the clock has not moved on (coarse file times): otherwise another process's
// cached copy of equal size could be taken for the current store.
void TestAddressLocker::everyWriteMovesFileTime()
{
    AddressLocker locker;
    const QString a = QStringLiteral("127.0.0.40");
    QDateTime last;
    for (int i = 0; i < 20; ++i) {
        QVERIFY(i % 2 == 0 ? locker.lock(a) : locker.unlock(a));
        const QDateTime now = QFileInfo(storeFile()).lastModified();
        if (last.isValid())
            QVERIFY2(now > last, qPrintable(QStringLiteral("write %1: %2 after %3")
                                                .arg(i)
                                                .arg(now.toMSecsSinceEpoch())
                                                .arg(last.toMSecsSinceEpoch())));
        last = now;
    }
    // A file time ahead of the clock stands for "a write within the same tick".
    const QDateTime ahead = QDateTime::currentDateTime().addSecs(10);
    {
        QFile f(storeFile());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(ahead, QFileDevice::FileModificationTime));
    }
    QVERIFY(locker.lock(a));
    QVERIFY(QFileInfo(storeFile()).lastModified() > ahead);
    QVERIFY(locker.unlock(a));
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], ChildArgument) == 0)
        return runChild(argc, argv);
    TestEnv::isolate();
    qputenv("VEXA_LOCKER_TEST", "1");
    QCoreApplication app(argc, argv);
    TestAddressLocker tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_addresslocker.moc"
