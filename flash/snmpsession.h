#pragma once
// The flash tool's thin SNMP layer: library start-up with the object table,
// one v2c session per crate, and the three requests the tool needs. All
// requests are synchronous; with no session they fail at once without calling
// the library, because the poll keeps running when a crate could not be opened.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace crateflash {

class CanFrame;
struct ObjectId;

// The library's single-session handle; nullptr when no session is open.
using SnmpSessionHandle = void *;

namespace Snmp {
// Fixed session settings.
inline constexpr char Community[] = "TORVIK";
inline constexpr long TimeoutMicroseconds = 100000;
inline constexpr int Retries = 3;
inline constexpr char ApplicationType[] = "CrateTest";
inline constexpr char MibModule[] = "WIENER-CRATE-MIB";
// At most this many frames travel in one SET request.
inline constexpr int MaxFramesPerRequest = 512;

// Log priorities of logLine.
enum Priority { Error = 3, Information = 6, Debug = 7 };

// Our own MIB directories, searched after the library's (system) ones. By
// default the installed and the source tree's mibs/ folders; tests replace them.
void setLocalMibDirectories(const QStringList &directories);
QStringList localMibDirectories();
// The library's MIB search path as it stands (for diagnostics and tests).
QString mibSearchPath();

// Receives every logLine text besides standard output (tests, the window).
void setLogSink(std::function<void(int priority, const QString &line)> sink);
} // namespace Snmp

// Starts the library, loads the crate MIB and translates the object table.
bool initialiseSnmp();
SnmpSessionHandle openSession(const QByteArray &host);
void closeSession(SnmpSessionHandle session);
// SET of one integer (an IpAddress for ipStaticAddress.0). Returns the value
// the agent answered, the sent value when the answer carries none, or 0 on failure.
int setIntegerObject(SnmpSessionHandle session, const ObjectId &object, qint32 value);
// GET of canReceiveHv.0: -1 on failure, else the pending word (0: nothing received).
int receiveCanFrame(SnmpSessionHandle session, CanFrame &frame);
// One SET of canTransmitHv.0 per frame, all in one request; -1 on failure.
int transmitCanFrames(SnmpSessionHandle session, const CanFrame *frames, int count);
// The socket layer's clean-up, when the tunnel owner goes away.
void cleanupSnmpSockets();
// printf-style line to standard output, newline appended.
void logLine(int priority, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

} // namespace crateflash
