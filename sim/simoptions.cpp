#include "simoptions.h"

#include "productversion.h"

#include <QCommandLineParser>
#include <QHostAddress>

SimOptions::Result SimOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "cratesim: a simulated MPOD crate with high-voltage modules, answering SNMP v2c like the real one.\n"
        "Read community \"kestra\", write community \"mavo\"; \"TORVIK\" reads and writes.\n"
        "Objects: WIENER-CRATE-MIB (the crate), CRATESIM-MIB (faults, loads, counters).\n"
        "Prints \"cratesim: ready on udp:A:P\" once it listens; SIGTERM stops it.\n\n"
        "Example (from the source directory):\n"
        "  cratesim --address 127.0.0.77 sim/crates/demo.json\n"
        "  snmpwalk -m +WIENER-CRATE-MIB -M +mibs -v2c -c kestra 127.0.0.77 WIENER-CRATE-MIB::moduleDescription\n"
        "  snmpset -m WIENER-CRATE-MIB:CRATESIM-MIB -M +mibs -v2c -c mavo 127.0.0.77 "
        "CRATESIM-MIB::cratesimChannelTrip.1 i 1"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Listen on this IPv4 address (default 127.0.0.1)."),
                                           QStringLiteral("A"), address);
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("UDP port (default 161)."),
                                        QStringLiteral("P"), QString::number(port));
    const QCommandLineOption stateOption(QStringLiteral("state"),
                                         QStringLiteral("Keep module set values, static address and the CAN side's "
                                                        "memories in this file across restarts."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption scaleOption(QStringLiteral("time-scale"),
                                         QStringLiteral("Simulated seconds per real second (default 1; tests use 10)."),
                                         QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption delayOption(QStringLiteral("delay-ms"),
                                         QStringLiteral("Delay before each answer in ms (default 0; a real crate "
                                                        "takes about 10)."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption sizeOption(QStringLiteral("max-msg-size"),
                                        QStringLiteral("Largest answer in bytes, 484 to 65507 (default 65507); larger "
                                                       "answers get the error tooBig."),
                                        QStringLiteral("N"), QString::number(maxMessageSize));
    const QCommandLineOption verboseOption({QStringLiteral("v"), QStringLiteral("verbose")},
                                           QStringLiteral("Log what the simulator does to standard error."));
    parser.addOptions({help, versionOption, addressOption, portOption, stateOption, scaleOption, delayOption, sizeOption, verboseOption});
    parser.addPositionalArgument(QStringLiteral("crate.json"), QStringLiteral("Crate description (JSON)."));

    if (!parser.parse(arguments)) {
        m_text = parser.errorText();
        return Result::Error;
    }
    if (parser.isSet(help)) {
        m_text = parser.helpText();
        return Result::Help;
    }
    if (parser.isSet(versionOption)) {
        m_text = QStringLiteral("cratesim " VEXA_PRODUCT_VERSION "\n");
        return Result::Help;
    }
    QHostAddress host;
    address = parser.value(addressOption);
    if (!host.setAddress(address) || host.protocol() != QAbstractSocket::IPv4Protocol) {
        m_text = QStringLiteral("--address: \"%1\" is not an IPv4 address").arg(address);
        return Result::Error;
    }
    bool ok = false;
    port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        m_text = QStringLiteral("--port: 1 to 65535");
        return Result::Error;
    }
    timeScale = parser.value(scaleOption).toDouble(&ok);
    if (!ok || !(timeScale >= 0.001 && timeScale <= 10000.0)) {
        m_text = QStringLiteral("--time-scale: 0.001 to 10000");
        return Result::Error;
    }
    delayMs = parser.value(delayOption).toInt(&ok);
    if (!ok || delayMs < 0 || delayMs > 10000) {
        m_text = QStringLiteral("--delay-ms: 0 to 10000");
        return Result::Error;
    }
    maxMessageSize = parser.value(sizeOption).toInt(&ok);
    if (!ok || maxMessageSize < 484 || maxMessageSize > 65507) {
        m_text = QStringLiteral("--max-msg-size: 484 to 65507");
        return Result::Error;
    }
    stateFile = parser.value(stateOption);
    verbose = parser.isSet(verboseOption);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        m_text = QStringLiteral("exactly one crate file is needed (see --help)");
        return Result::Error;
    }
    crateFile = positional.first();
    return Result::Run;
}
