#pragma once
// Controller over the crate access library WIENER_SNMP, bound at run time.
//
// The controller owns the one function table and the one session handle. Every
// library call of the device model goes through the call helpers below: they take
// one mutex for the duration of the call and copy texts and records before the
// mutex is released, because the library owns them only until its next call and a
// script thread shares the modules with the GUI thread.

#include "basecontroller.h"
#include "wienersnmpfunctions.h"

#include <QLibrary>
#include <QMutex>
#include <QMutexLocker>
#include <QVector>

#include <atomic>
#include <type_traits>

class SnmpController : public BaseController
{
    Q_OBJECT

public:
    // Loads "WIENER_SNMP" from the default places (see defaultLibraryCandidates()).
    explicit SnmpController(QObject *parent = nullptr);
    // Loads the library from the first candidate that loads.
    explicit SnmpController(const QStringList &libraryCandidates, QObject *parent = nullptr);
    // Binds an in-process implementation of the library (a second backend or a test
    // double); it is resolved and initialised exactly like a loaded one.
    explicit SnmpController(const WienerSnmpFunctions &functions, QObject *parent = nullptr);
    ~SnmpController() override;

    // A library of that name installed on the system comes first (a crate maker's
    // build), then ours beside the program (../lib), then the build tree.
    static QStringList defaultLibraryCandidates();

    // True when the library is loaded, every function resolved and snmpInit succeeded.
    bool isBound() const { return m_bound; }
    // Why the library cannot be used (load, resolve or init failure), as the
    // program shows it before it ends with exit code 1; empty when bound.
    QString errorText() const { return m_errorText; }
    // The file the library was loaded from ("in-process" for a bound table).
    QString libraryFileName() const { return m_libraryFileName; }
    // Number of library calls made through this controller (all threads).
    quint64 libraryCallCount() const { return m_callCount.load(); }
    bool hasHandle() const;

    bool canBeDeleted() override;
    bool connectTo(QString address) override;
    QString address() override;
    bool setIpStaticAddress(QString address) override;
    void setLiveInsertion(bool on) override;
    bool isLiveInsertion() override;
    QString busStatus() override;
    QString connectionMessage() override;
    QStringList items() override;
    bool isConnected() override;

    // The module description of a slot; empty for an empty slot.
    QString getModuleDescription(int slot);

    // ----- serialised library access (handle passed first) -----

    // Numeric results. Without a handle nothing is called and the result is 0.
    template <typename R, typename... P, typename... A>
    R call(R (*WienerSnmpFunctions::*member)(HSNMP, P...), A... args)
    {
        static_assert(std::is_arithmetic_v<R> || std::is_void_v<R>,
                      "texts and records must be copied: use callText / read*Record");
        QMutexLocker locker(&m_mutex);
        auto fn = m_functions.*member;
        if (!fn || !m_handle) {
            if constexpr (std::is_void_v<R>)
                return;
            else
                return R();
        }
        ++m_callCount;
        return fn(m_handle, P(args)...);
    }

    // Text results, copied as Latin-1 while the call is still serialised.
    template <typename... P, typename... A>
    QString callText(const char *(*WienerSnmpFunctions::*member)(HSNMP, P...), A... args)
    {
        QMutexLocker locker(&m_mutex);
        auto fn = m_functions.*member;
        if (!fn || !m_handle)
            return QString();
        ++m_callCount;
        return QString::fromLatin1(fn(m_handle, P(args)...));
    }

    // Multiple-channel reads: at most `size` values (and at most one record's worth).
    using IntRecordRead = SnmpIntRecord *(*)(HSNMP, int, int);
    using DoubleRecordRead = SnmpDoubleRecord *(*)(HSNMP, int, int);
    using IntRecordWrite = SnmpIntRecord *(*)(HSNMP, int, const SnmpIntRecord *);
    using DoubleRecordWrite = SnmpDoubleRecord *(*)(HSNMP, int, const SnmpDoubleRecord *);

    QVector<int> readIntRecord(IntRecordRead WienerSnmpFunctions::*member, int start, int size);
    QVector<double> readDoubleRecord(DoubleRecordRead WienerSnmpFunctions::*member, int start, int size);
    // Multiple-channel writes: one record with every value of `values` (at most 100).
    void writeIntRecord(IntRecordWrite WienerSnmpFunctions::*member, int start, const QVector<int> &values);
    void writeDoubleRecord(DoubleRecordWrite WienerSnmpFunctions::*member, int start,
                           const QVector<double> &values);

private:
    void loadLibrary(const QStringList &candidates);
    void bind(const WienerSnmpFunctions::Resolver &resolver, const QString &libraryName);
    void fail(const QString &text);
    template <typename T, typename Record>
    QVector<T> readRecord(Record *(*WienerSnmpFunctions::*member)(HSNMP, int, int), int start, int size);
    template <typename Record, typename T>
    void writeRecord(Record *(*WienerSnmpFunctions::*member)(HSNMP, int, const Record *), int start,
                     const QVector<T> &values);

    WienerSnmpFunctions m_functions;
    QString m_address;
    QStringList m_items;
    QStringList m_secondList;
    HSNMP m_handle = nullptr;

    QLibrary m_library;
    QString m_libraryFileName;
    QString m_errorText;
    bool m_bound = false;
    mutable QMutex m_mutex;
    std::atomic<quint64> m_callCount{0};
};
