#pragma once
// A module that answers the special-mode transfer: it takes the special mode
// when its control word asks for it, takes over the special commands it is
// sent, and answers each S-record line with the status word the transfer
// paces on (line request, acknowledged, checksum error, compare error). Its
// words are read like a register: report() sends what they hold now.

#include "modulecontrol.h"
#include "modulestatus.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

class QTimer;

class ServiceModuleDouble : public QObject
{
    Q_OBJECT

public:
    explicit ServiceModuleDouble(int serialNumber, QObject *parent = nullptr);

    static QByteArray sRecord(char type, quint32 address, const QByteArray &data);
    static bool checksumOk(const QByteArray &line);

    // Sends reports every interval ms until stopped (0: as fast as events run).
    void startReporting(int interval = 0);
    void stopReporting();

    int serialNumber = 0;
    quint32 control = 0;
    quint32 status = 0;
    bool specialMode = false;
    // Lines the module holds (after a write pass, or preset for a compare).
    QList<QByteArray> flash;
    // Every line received and every command, in order.
    QList<QByteArray> received;
    QList<quint32> commands;
    QList<ModuleControl> controls;
    // Line index in the pass -> how many more times that line is answered with a checksum error.
    QHash<int, int> rejections;
    // The checksum error stays in the status word whatever command follows.
    bool stickyChecksumError = false;
    // The line of this index is taken without any answer the first time it comes.
    int swallowLine = -1;
    bool takesSpecialMode = true;

signals:
    void updateModuleControl(int serialNumber, ModuleControl control);
    void updateModuleStatus(int serialNumber, ModuleStatus status);
    void updateModuleSpecialControlStatus(int serialNumber, quint32 control, quint32 status);

public slots:
    void setModuleControl(int serialNumber, ModuleControl control);
    void setSpecialControl(int serialNumber, quint32 command);
    void sendHexLine(int serialNumber, QByteArray line);
    void report();

private:
    enum Pass { NoPass, WritePass, ComparePass };
    void startPass(Pass pass, quint32 command);

    Pass m_pass = NoPass;
    int m_index = 0;
    QList<QByteArray> m_written;
    QTimer *m_pump = nullptr;
};
