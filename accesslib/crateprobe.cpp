// crateprobe: loads WIENER_SNMP the way cratectl does and prints what a
// connection to a crate sees. The first thing to run when a crate does not answer.

#include "productversion.h"
#include "vexa_config.h"
#include "wiener_snmp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace {

// Channels per slot, as the module model allows.
constexpr int MaxChannels = 100;

struct Library {
    decltype(&::snmpInit) snmpInit = nullptr;
    decltype(&::snmpOpen) snmpOpen = nullptr;
    decltype(&::snmpClose) snmpClose = nullptr;
    decltype(&::snmpGetLastError) snmpGetLastError = nullptr;
    decltype(&::getMainSwitch) getMainSwitch = nullptr;
    decltype(&::getSysDescr) getSysDescr = nullptr;
    decltype(&::getPsSerialNumber) getPsSerialNumber = nullptr;
    decltype(&::getModuleDescription) getModuleDescription = nullptr;
    decltype(&::getModuleStatus) getModuleStatus = nullptr;
    decltype(&::getMultipleChannelStatuses) getMultipleChannelStatuses = nullptr;
    decltype(&::getMultipleOutputSwitches) getMultipleOutputSwitches = nullptr;
    decltype(&::getMultipleOutputVoltages) getMultipleOutputVoltages = nullptr;
    decltype(&::getMultipleMeasurementTerminalVoltages) getMultipleMeasurementTerminalVoltages = nullptr;
    decltype(&::getMultipleOutputCurrents) getMultipleOutputCurrents = nullptr;
    decltype(&::getMultipleMeasurementCurrents) getMultipleMeasurementCurrents = nullptr;
};

// The same places cratectl looks: the library by name, then ../lib beside the
// program, then the build tree.
QStringList libraryCandidates()
{
    const QString name = QStringLiteral("WIENER_SNMP");
    QStringList candidates{name};
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty())
        candidates << QDir::cleanPath(appDir + QStringLiteral("/../lib")) + QLatin1Char('/') + name;
    const QString build = QStringLiteral(VEXA_BUILD_LIBDIR "/") + name;
    if (!candidates.contains(build))
        candidates << build;
    return candidates;
}

template<typename F>
bool resolve(QLibrary &library, const char *name, F *function)
{
    *function = reinterpret_cast<F>(library.resolve(name));
    if (!*function)
        std::fprintf(stderr, "crateprobe: cannot resolve %s from %s\n", name, qPrintable(library.fileName()));
    return *function != nullptr;
}

// Library status bits as cratectl reads them.
QString statusFlags(int status)
{
    struct Bit {
        int bit;
        const char *name;
    };
    static const Bit bits[] = {{7, "ON"},    {6, "EINH"},  {5, "VBND"},  {4, "VBND"}, {3, "VLIM"},
                               {2, "TRIP"},  {9, "EMCY"},  {11, "RAMP"}, {12, "RAMP"}, {13, "CC"},
                               {20, "CLIM"}, {21, "CBND"}, {22, "LCR"},  {23, "CV"}};
    QStringList names;
    for (const Bit &b : bits)
        if ((status >> b.bit) & 1 && !names.contains(QLatin1String(b.name)))
            names << QLatin1String(b.name);
    return names.join(QLatin1Char(' '));
}

const char *switchText(int value)
{
    switch (value) {
    case 0: return "off";
    case 1: return "on";
    case 3: return "emcy";
    case 20: return "meas off";
    case 21: return "ext";
    case 22: return "ripple";
    case 23: return "ext+ripple";
    default: return "?";
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("crateprobe"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEXA_PRODUCT_VERSION));
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Connects to the crate at <address> through WIENER_SNMP and prints the main\n"
        "switch, the crate description and serial number, the modules of slots 0 to 9\n"
        "and every channel of one slot (the first occupied one unless given)."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("address"), QStringLiteral("IPv4 address of the crate."));
    parser.addPositionalArgument(QStringLiteral("slot"), QStringLiteral("Slot to list the channels of, 0 to 9."),
                                 QStringLiteral("[slot]"));
    const bool parsed = parser.parse(app.arguments());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    const QStringList args = parser.positionalArguments();
    if (!parsed || args.isEmpty() || args.size() > 2) {
        if (!parsed)
            std::fprintf(stderr, "crateprobe: %s\n", qPrintable(parser.errorText()));
        std::fprintf(stderr, "Usage: crateprobe <address> [slot]\n%s\n",
                     qPrintable(parser.applicationDescription()));
        return 64;
    }
    const QByteArray address = args.at(0).toLatin1();
    int wantedSlot = -1;
    if (args.size() == 2) {
        bool ok = false;
        wantedSlot = args.at(1).toInt(&ok);
        if (!ok || wantedSlot < 0 || wantedSlot > 9) {
            std::fprintf(stderr, "crateprobe: slot must be 0 to 9\n");
            return 64;
        }
    }

    QLibrary library;
    for (const QString &candidate : libraryCandidates()) {
        library.setFileName(candidate);
        if (library.load())
            break;
    }
    if (!library.isLoaded()) {
        std::fprintf(stderr, "crateprobe: cannot load WIENER_SNMP: %s\n", qPrintable(library.errorString()));
        return 1;
    }
    std::printf("Library: %s\n", qPrintable(library.fileName()));

    Library f;
    bool bound = resolve(library, "snmpInit", &f.snmpInit);
    bound &= resolve(library, "snmpOpen", &f.snmpOpen);
    bound &= resolve(library, "snmpClose", &f.snmpClose);
    bound &= resolve(library, "snmpGetLastError", &f.snmpGetLastError);
    bound &= resolve(library, "getMainSwitch", &f.getMainSwitch);
    bound &= resolve(library, "getSysDescr", &f.getSysDescr);
    bound &= resolve(library, "getPsSerialNumber", &f.getPsSerialNumber);
    bound &= resolve(library, "getModuleDescription", &f.getModuleDescription);
    bound &= resolve(library, "getModuleStatus", &f.getModuleStatus);
    bound &= resolve(library, "getMultipleChannelStatuses", &f.getMultipleChannelStatuses);
    bound &= resolve(library, "getMultipleOutputSwitches", &f.getMultipleOutputSwitches);
    bound &= resolve(library, "getMultipleOutputVoltages", &f.getMultipleOutputVoltages);
    bound &= resolve(library, "getMultipleMeasurementTerminalVoltages", &f.getMultipleMeasurementTerminalVoltages);
    bound &= resolve(library, "getMultipleOutputCurrents", &f.getMultipleOutputCurrents);
    bound &= resolve(library, "getMultipleMeasurementCurrents", &f.getMultipleMeasurementCurrents);
    if (!bound)
        return 1;

    if (!f.snmpInit()) {
        std::fprintf(stderr, "crateprobe: snmpInit failed: %s\n", f.snmpGetLastError());
        return 1;
    }
    HSNMP handle = f.snmpOpen(address.constData());
    if (!handle) {
        std::fprintf(stderr, "crateprobe: snmpOpen(%s) failed: %s\n", address.constData(), f.snmpGetLastError());
        return 2;
    }

    std::printf("Address: %s\n", address.constData());
    const QByteArray serial = f.getPsSerialNumber(handle);
    if (serial.isEmpty()) {
        std::fprintf(stderr, "crateprobe: no answer: %s\n", f.snmpGetLastError());
        f.snmpClose(handle);
        return 2;
    }
    const int mainSwitch = f.getMainSwitch(handle);
    std::printf("Main switch: %s (%d)\n", mainSwitch ? "on" : "off", mainSwitch);
    std::printf("Crate: %s\n", f.getSysDescr(handle));
    std::printf("Serial number: %s\n", serial.constData());

    int shownSlot = wantedSlot;
    int channels = 0;
    bool slotSilent = false;
    for (int slot = 0; slot <= 9; ++slot) {
        // The library keeps its last error until the next failure: a new
        // "no answer" after this read means the slot's read timed out.
        const QByteArray errorBefore = f.snmpGetLastError();
        const QByteArray description = f.getModuleDescription(handle, slot);
        if (description.isEmpty()) {
            const QByteArray error = f.snmpGetLastError();
            if (error != errorBefore && error.contains("no answer")) {
                std::printf("Slot %d: did not answer\n", slot);
                std::fprintf(stderr, "crateprobe: slot %d did not answer: %s\n", slot, error.constData());
                slotSilent = true;
            } else {
                std::printf("Slot %d: empty\n", slot);
            }
            continue;
        }
        std::printf("Slot %d: %s (status 0x%04x)\n", slot, description.constData(), f.getModuleStatus(handle, slot));
        const QList<QByteArray> parts = description.split(',');
        int count = parts.size() >= 3 ? parts.at(2).trimmed().toInt() : 0;
        // A module has at most MaxChannels channels, whatever its description claims.
        if (count > MaxChannels) {
            std::fprintf(stderr, "crateprobe: slot %d claims %d channels; showing at most %d\n", slot, count, MaxChannels);
            count = MaxChannels;
        }
        if (shownSlot < 0 && count > 0)
            shownSlot = slot;
        if (slot == shownSlot)
            channels = count;
    }
    if (shownSlot < 0 || channels <= 0) {
        if (wantedSlot >= 0)
            std::printf("Slot %d has no channels to show.\n", wantedSlot);
        f.snmpClose(handle);
        return slotSilent ? 2 : 0;
    }

    // Records belong to the library until the next call, so each is copied out.
    const int start = shownSlot * 100;
    auto ints = [&](SnmpIntRecord *(*read)(HSNMP, int, int)) { return *read(handle, start, channels); };
    auto doubles = [&](SnmpDoubleRecord *(*read)(HSNMP, int, int)) { return *read(handle, start, channels); };
    const SnmpIntRecord status = ints(f.getMultipleChannelStatuses);
    const SnmpIntRecord switches = ints(f.getMultipleOutputSwitches);
    const SnmpDoubleRecord vset = doubles(f.getMultipleOutputVoltages);
    const SnmpDoubleRecord vmeas = doubles(f.getMultipleMeasurementTerminalVoltages);
    const SnmpDoubleRecord iset = doubles(f.getMultipleOutputCurrents);
    const SnmpDoubleRecord imeas = doubles(f.getMultipleMeasurementCurrents);

    std::printf("\nSlot %d, %d channels:\n", shownSlot, channels);
    std::printf("%4s %10s %11s %12s %13s %-10s %-8s %s\n", "ch", "Vset [V]", "Vmeas [V]", "Iset [A]", "Imeas [A]",
                "switch", "status", "flags");
    for (int ch = 0; ch < channels; ++ch) {
        auto d = [ch](const SnmpDoubleRecord &r) { return ch < r.count ? QString::number(r.value[ch], 'g', 6) : QStringLiteral("-"); };
        const bool hasStatus = ch < status.count;
        std::printf("%4d %10s %11s %12s %13s %-10s %-8s %s\n", ch, qPrintable(d(vset)), qPrintable(d(vmeas)),
                    qPrintable(d(iset)), qPrintable(d(imeas)), ch < switches.count ? switchText(switches.value[ch]) : "-",
                    hasStatus ? qPrintable(QStringLiteral("0x%1").arg(uint(status.value[ch]), 6, 16, QLatin1Char('0'))) : "-",
                    hasStatus ? qPrintable(statusFlags(status.value[ch])) : "");
    }
    if (status.count < channels)
        std::fprintf(stderr, "crateprobe: only %d of %d channel statuses arrived: %s\n", status.count, channels,
                     f.snmpGetLastError());
    f.snmpClose(handle);
    return slotSilent ? 2 : 0;
}
