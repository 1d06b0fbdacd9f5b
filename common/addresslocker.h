#pragma once
// Per-address lock shared by cratectl and crateflash: the store "addresslock"
// holds one key per crate address in use, valued with the holder's process id.
//
// The check-then-write of lock() runs under a lock file beside the store, so
// two processes locking one address at the same instant cannot both succeed.
// A key left behind by a process that ended without unlocking looks exactly
// like a held one; the operator resolves that by connecting anyway (forceLock).

#include <QObject>
#include <QString>
#include <QStringList>

class QSettings;

class AddressLocker : public QObject
{
    Q_OBJECT

public:
    explicit AddressLocker(QObject *parent = nullptr);
    ~AddressLocker() override;

    // True when the address holds no process id (no key, or one that does not read as a number).
    bool isFree(const QString &address);
    // Takes a free address for this process. False when another (or a stale) holder
    // has it, or when the store could not be written.
    bool lock(const QString &address);
    // Takes the address whatever it held. False only when the store could not be written.
    bool forceLock(const QString &address);
    // True when the address holds this process's id (false for an empty address).
    bool isLockedByMe(const QString &address);
    // Releases the address if this process holds it; another holder's key stays.
    bool unlock(const QString &address);
    // Every address some process holds or left behind.
    QStringList lockedAddresses();

    // The process id stored in the address's key, -1 when free.
    qint64 holder(const QString &address);

    qint64 pid() const { return m_pid; }
    QString application() const { return m_application; }
    QString organisation() const { return m_organisation; }
    // The INI file of the store.
    QString fileName() const;

    // How long lock() waits for another process's check-then-write to finish.
    static constexpr int GuardTimeoutMs = 5000;

private:
    void reload();
    bool writeBack();

    QString m_application;
    QString m_organisation;
    QSettings *m_settings = nullptr;
    qint64 m_pid = 0;
};
