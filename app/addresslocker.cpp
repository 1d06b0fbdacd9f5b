#include "addresslocker.h"

#include "applog.h"
#include "product.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

namespace {

// Serialises the read-then-write of one store across processes. The settings
// class takes its own "<file>.lock" while writing, so ours has another name.
class StoreGuard
{
public:
    explicit StoreGuard(const QString &storeFile)
        : m_lock(storeFile + QStringLiteral(".guard"))
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

} // namespace

AddressLocker::AddressLocker(QObject *parent)
    : QObject(parent)
    , m_application(QString::fromLatin1(Product::AddressLockStore))
    , m_organisation(QString::fromLatin1(Product::Organisation))
    , m_settings(Settings::store(m_application).release())
    , m_pid(QCoreApplication::applicationPid())
{
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
    // Without pending changes a sync re-reads the file, so we see other processes' keys.
    m_settings->sync();
}

bool AddressLocker::writeBack()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        qCWarning(lcApp) << "cannot write the address lock store" << m_settings->fileName();
        return false;
    }
    return true;
}

bool AddressLocker::isFree(const QString &address)
{
    if (address.isEmpty())
        return true;
    reload();
    return readPid(m_settings, address) < 0;
}

qint64 AddressLocker::holder(const QString &address)
{
    if (address.isEmpty())
        return -1;
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
    reload();
    return m_settings->allKeys();
}
