#include "addresslocker.h"

#include "applog.h"
#include "product.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

// Why every access runs under a guard: the settings class reads a file by
// stat-ing it and then reading it, so a read that overlaps another process's
// write can pair the new file's size and time with the old content, and a
// later read is skipped when size and time look unchanged. Under the guard no
// writer overlaps a read, and every write leaves a modification time later than
// the one before, so a cached copy can never pass for the current file.

namespace
{

// Serialises access to one store across processes. The settings class takes
// its own "<file>.lock" while writing, so ours has another name.
class StoreGuard
{
public:
    explicit StoreGuard(const QString &storeFile) : m_lock(storeFile + QStringLiteral(".guard"))
    {
        QDir().mkpath(QFileInfo(storeFile).absolutePath());
        // A guard is held for milliseconds; one older than this was left by a crash.
        m_lock.setStaleLockTime(10000);
        m_locked = m_lock.tryLock(AddressLocker::GuardTimeoutMs);
        if (!m_locked)
            qCWarning(lcApp) << "address lock store is busy:" << storeFile << "error" << int(m_lock.error());
    }
    bool isLocked() const { return m_locked; }

private:
    QLockFile m_lock;
    bool m_locked = false;
};

qint64 readPid(QSettings *settings, const QString &address)
{
    bool ok = false;
    const qulonglong value = settings->value(address).toULongLong(&ok);
    return ok ? qint64(value) : -1;
}

QDateTime modificationTime(const QString &file)
{
    return QFileInfo(file).lastModified();
}

} // namespace

AddressLocker::AddressLocker(QObject *parent)
    : QObject(parent), m_application(QString::fromLatin1(Product::AddressLockStore)),
      m_organisation(QString::fromLatin1(Product::Organisation)), m_pid(QCoreApplication::applicationPid())
{
    // Opening the store reads it: do that under the guard as well.
    StoreGuard guard(Settings::storeFileName(m_application));
    m_settings = Settings::store(m_application).release();
}

AddressLocker::~AddressLocker()
{
    delete m_settings;
}

QString AddressLocker::fileName() const
{
    return m_settings->fileName();
}

void AddressLocker::reload()
{
    // Without pending changes a sync re-reads the file when it changed.
    m_settings->sync();
}

bool AddressLocker::writeBack()
{
    const QString file = m_settings->fileName();
    const QDateTime before = modificationTime(file);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        qCWarning(lcApp) << "cannot write the address lock store" << file;
        return false;
    }
    // File times are coarse: two writes within one clock tick would look alike.
    if (before.isValid() && modificationTime(file) <= before) {
        QFile f(file);
        if (f.open(QIODevice::ReadWrite))
            f.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
    }
    return true;
}

bool AddressLocker::isFree(const QString &address)
{
    if (address.isEmpty())
        return true;
    StoreGuard guard(m_settings->fileName());
    reload();
    return readPid(m_settings, address) < 0;
}

qint64 AddressLocker::holder(const QString &address)
{
    if (address.isEmpty())
        return -1;
    StoreGuard guard(m_settings->fileName());
    reload();
    return readPid(m_settings, address);
}

bool AddressLocker::lock(const QString &address)
{
    if (address.isEmpty())
        return false;
    StoreGuard guard(m_settings->fileName());
    if (!guard.isLocked())
        return false;
    reload();
    if (readPid(m_settings, address) >= 0)
        return false;
    m_settings->setValue(address, m_pid);
    if (!writeBack())
        return false;
    // Read back: a store we cannot write must not report a lock we do not hold.
    reload();
    return readPid(m_settings, address) == m_pid;
}

bool AddressLocker::forceLock(const QString &address)
{
    if (address.isEmpty())
        return false;
    // Taking over needs no check, but waiting for a running lock() keeps its
    // read-then-write whole.
    StoreGuard guard(m_settings->fileName());
    reload();
    m_settings->setValue(address, m_pid);
    return writeBack();
}

bool AddressLocker::isLockedByMe(const QString &address)
{
    if (address.isEmpty())
        return false;
    StoreGuard guard(m_settings->fileName());
    reload();
    return readPid(m_settings, address) == m_pid;
}

bool AddressLocker::unlock(const QString &address)
{
    if (address.isEmpty())
        return false;
    StoreGuard guard(m_settings->fileName());
    reload();
    if (readPid(m_settings, address) != m_pid)
        return false;
    m_settings->remove(address);
    return writeBack();
}

QStringList AddressLocker::lockedAddresses()
{
    StoreGuard guard(m_settings->fileName());
    reload();
    return m_settings->allKeys();
}
