#include "snmpcontroller.h"

#include "addresslocker.h"
#include "cratelog.h"
#include "vexa_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

#ifndef VEXA_INSTALL_LIBDIR_NAME
#define VEXA_INSTALL_LIBDIR_NAME "lib"
#endif

namespace {

const char libraryName[] = "WIENER_SNMP";

} // namespace

SnmpController::SnmpController(QObject *parent) : SnmpController(defaultLibraryCandidates(), parent) {}

SnmpController::SnmpController(const QStringList &libraryCandidates, QObject *parent) : BaseController(parent)
{
    loadLibrary(libraryCandidates);
}

SnmpController::SnmpController(const WienerSnmpFunctions &functions, QObject *parent) : BaseController(parent)
{
    bind([&functions](const char *name) { return functions.symbol(name); }, QStringLiteral("in-process"));
}

SnmpController::~SnmpController()
{
    if (!m_address.isEmpty()) {
        AddressLocker locker;
        locker.unlock(m_address);
    }
    QMutexLocker locker(&m_mutex);
    if (m_handle && m_functions.snmpClose) {
        ++m_callCount;
        m_functions.snmpClose(m_handle);
    }
    m_handle = nullptr;
    // snmpCleanup is never called and the library stays loaded: other controllers
    // of this process may still use it.
}

QStringList SnmpController::defaultLibraryCandidates()
{
    QStringList candidates{QString::fromLatin1(libraryName)};
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty()) {
        candidates << QDir::cleanPath(appDir + QStringLiteral("/../lib/")) + QLatin1Char('/') +
                          QLatin1String(libraryName);
        const QString installLib = QDir::cleanPath(appDir + QStringLiteral("/../") +
                                                   QLatin1String(VEXA_INSTALL_LIBDIR_NAME)) +
                                   QLatin1Char('/') + QLatin1String(libraryName);
        if (!candidates.contains(installLib))
            candidates << installLib;
    }
    const QString buildLib = QStringLiteral(VEXA_BUILD_LIBDIR "/") + QLatin1String(libraryName);
    if (!candidates.contains(buildLib))
        candidates << buildLib;
    return candidates;
}

void SnmpController::fail(const QString &text)
{
    qCCritical(lcCrate).noquote() << text;
    m_bound = false;
    m_errorText = text;
}

// The file the dynamic loader took for a loaded library: a bare name is
// searched along the system's paths, and the log should say where it was found.
static QString loadedFrom(QLibrary &library)
{
    Dl_info info{};
    if (const QFunctionPointer symbol = library.resolve("snmpInit");
        symbol && dladdr(reinterpret_cast<void *>(symbol), &info) && info.dli_fname)
        return QFile::decodeName(info.dli_fname);
    return library.fileName();
}

void SnmpController::loadLibrary(const QStringList &candidates)
{
    // A place that does not hold the library is part of the search, not a
    // fault: the misses are logged only when no place had it.
    QStringList misses;
    for (const QString &candidate : candidates) {
        m_library.setFileName(candidate);
        if (m_library.load())
            break;
        misses << candidate + QStringLiteral(" (") + m_library.errorString() + QLatin1Char(')');
    }
    if (!m_library.isLoaded()) {
        qCWarning(lcCrate).noquote() << "cannot load WIENER_SNMP from any place searched:" << misses.join(QStringLiteral("; "));
        const QString name = candidates.isEmpty() ? QString::fromLatin1(libraryName) : candidates.first();
        fail(tr("Error while loading shared library '%1' or one of it's dependencies!\n\n"
                "Program will be terminated.")
                 .arg(name));
        return;
    }
    qCDebug(lcCrate).noquote() << loadedFrom(m_library) << "loaded succesfully"
                               << QStringLiteral("(found as %1, place %2 of %3 searched)")
                                      .arg(m_library.fileName())
                                      .arg(misses.size() + 1)
                                      .arg(candidates.size());
    bind([this](const char *name) { return WienerSnmpFunctions::Symbol(m_library.resolve(name)); },
         m_library.fileName());
}

void SnmpController::bind(const WienerSnmpFunctions::Resolver &resolver, const QString &libraryFile)
{
    m_libraryFileName = libraryFile;
    if (const char *missing = m_functions.resolve(resolver)) {
        fail(tr("Error while resolving function '%1' from shared library '%2'\n\n"
                "Program will be terminated.")
                 .arg(QString::fromLatin1(missing), libraryFile));
        return;
    }
    int ready = 0;
    {
        QMutexLocker locker(&m_mutex);
        ++m_callCount;
        ready = m_functions.snmpInit();
    }
    if (!ready) {
        QString error;
        {
            QMutexLocker locker(&m_mutex);
            ++m_callCount;
            error = QString::fromLatin1(m_functions.snmpGetLastError());
        }
        fail(tr("Error while initializing SNMP: \"%1\"\n\n"
                "Most likely the WIENER-CRATE-MIB.txt is missing in /usr/share/snmp/mibs or too old.\n\n"
                "Program will be terminated.")
                 .arg(error));
        return;
    }
    m_bound = true;
}

bool SnmpController::hasHandle() const
{
    QMutexLocker locker(&m_mutex);
    return m_handle != nullptr;
}

bool SnmpController::canBeDeleted() { return true; }

bool SnmpController::connectTo(QString address)
{
    {
        AddressLocker locker;
        locker.forceLock(address);
    }
    {
        QMutexLocker locker(&m_mutex);
        m_address = address;
        if (m_bound) {
            // A second connect through the same controller replaces the session; the
            // old one is closed instead of being leaked.
            if (m_handle) {
                ++m_callCount;
                m_functions.snmpClose(m_handle);
                m_handle = nullptr;
            }
            const QByteArray latin1 = address.toLatin1();
            ++m_callCount;
            m_handle = m_functions.snmpOpen(latin1.constData());
        }
    }
    qCDebug(lcCrate).noquote() << "snmpOpen" << address << (hasHandle() ? "gave a session" : "failed");
    return isConnected();
}

QString SnmpController::address()
{
    QMutexLocker locker(&m_mutex);
    return m_address;
}

bool SnmpController::setIpStaticAddress(QString address)
{
    if (!hasHandle())
        return false;
    {
        AddressLocker locker;
        locker.unlock(this->address());
    }
    // The library wants the first octet in the lowest byte. Only four decimal parts
    // count as an address, each read in decimal as the address dialog normalises it
    // ("010" is 10): a general host-address parser would take "010" as octal 8 and
    // "10.1" as 10.0.0.1 and give the crate an address nobody typed. Text that is no
    // IPv4 address goes out as 0 like "0.0.0.0".
    quint32 value = 0;
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() == 4) {
        quint32 octets = 0;
        int shift = 0;
        for (const QString &part : parts) {
            const bool digits = !part.isEmpty() && part.size() <= 3 &&
                                std::all_of(part.cbegin(), part.cend(), [](QChar c) {
                                    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                                });
            const uint octet = digits ? part.toUInt() : 256;
            if (octet > 255)
                break;
            octets |= quint32(octet) << shift;
            shift += 8;
        }
        if (shift == 32)
            value = octets;
    }
    call(&WienerSnmpFunctions::setIpStaticAddress, int(value));
    return true;
}

void SnmpController::setLiveInsertion(bool on) { Q_UNUSED(on) }

bool SnmpController::isLiveInsertion() { return false; }

QString SnmpController::busStatus()
{
    if (call(&WienerSnmpFunctions::getMainSwitch) != 0)
        return tr("Bus status: <font color=\"blue\">OK");
    return QStringLiteral("<font color=\"red\">") + tr("MPOD is powered off!");
}

QString SnmpController::connectionMessage() { return tr("Connected to %1. %2").arg(address(), busStatus()); }

QStringList SnmpController::items() { return m_items; }

bool SnmpController::isConnected()
{
    return !callText(&WienerSnmpFunctions::getPsSerialNumber).isEmpty();
}

QString SnmpController::getModuleDescription(int slot)
{
    return callText(&WienerSnmpFunctions::getModuleDescription, slot);
}

// One implementation for both record kinds: the record is the library's and is
// copied while the call is still serialised.
template <typename T, typename Record>
QVector<T> SnmpController::readRecord(Record *(*WienerSnmpFunctions::*member)(HSNMP, int, int), int start,
                                      int size)
{
    QVector<T> values;
    size = std::clamp(size, 0, WIENER_SNMP_MAX_VALUES);
    QMutexLocker locker(&m_mutex);
    auto fn = m_functions.*member;
    if (!fn || !m_handle)
        return values;
    ++m_callCount;
    const Record *record = fn(m_handle, start, size);
    if (!record)
        return values;
    const int count = std::clamp(record->count, 0, size);
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(record->value[i]);
    return values;
}

template <typename Record, typename T>
void SnmpController::writeRecord(Record *(*WienerSnmpFunctions::*member)(HSNMP, int, const Record *), int start,
                                 const QVector<T> &values)
{
    Record record;
    std::memset(&record, 0, sizeof(record));
    record.count = std::min<int>(values.size(), WIENER_SNMP_MAX_VALUES);
    std::copy_n(values.constBegin(), record.count, record.value);
    QMutexLocker locker(&m_mutex);
    auto fn = m_functions.*member;
    if (!fn || !m_handle)
        return;
    ++m_callCount;
    fn(m_handle, start, &record);
}

QVector<int> SnmpController::readIntRecord(IntRecordRead WienerSnmpFunctions::*member, int start, int size)
{
    return readRecord<int>(member, start, size);
}

QVector<double> SnmpController::readDoubleRecord(DoubleRecordRead WienerSnmpFunctions::*member, int start,
                                                 int size)
{
    return readRecord<double>(member, start, size);
}

void SnmpController::writeIntRecord(IntRecordWrite WienerSnmpFunctions::*member, int start,
                                    const QVector<int> &values)
{
    writeRecord(member, start, values);
}

void SnmpController::writeDoubleRecord(DoubleRecordWrite WienerSnmpFunctions::*member, int start,
                                       const QVector<double> &values)
{
    writeRecord(member, start, values);
}
