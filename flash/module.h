#pragma once
// One module found behind the CAN tunnel, as the scan learns it. Copied by
// value into the main window's list and across the moduleFound signal.

#include <QMetaType>
#include <QString>

namespace crateflash {

struct Module
{
    bool needsUpdate = false;   // waits in its boot loader
    bool reported = false;      // moduleFound was emitted for it
    int canId = 0;              // base identifier, a multiple of 8
    quint32 serialNumber = 0;   // 0 until known
    int release = 0;            // four decimal digits, 512 means 5.12; 0 until known
    QString device;             // type name as the module reports it

    // "5.12" for 512.
    QString releaseText() const;
    // "0x210" for 0x210.
    QString canIdText() const;
};


} // namespace crateflash

Q_DECLARE_METATYPE(crateflash::Module)
