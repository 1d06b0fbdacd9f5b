#include "mainwindow.h"
#include "product.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>

namespace {

// --help and --version are answered before any window system is touched, so they
// work without a display. Nothing else on the command line is interpreted here:
// the window reads its first argument itself.
void answerInformationOptions(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("crateflash"));
    // The tool's own version, then the release of the suite it came with.
    QCoreApplication::setApplicationVersion(QStringLiteral("%1 (vexa %2)")
                                                .arg(QLatin1String(MainWindow::Version),
                                                     QLatin1String(Product::Version)));
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    // Qt's own options (-reverse, -stylesheet ...) must not read as bundles of
    // short options that contain -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Service tool for the high-voltage modules of an MPOD crate: scans the modules\n"
        "behind the crate's CAN tunnel, writes firmware from Intel HEX files, reads and\n"
        "clears their event memory and changes their CAN bit rate."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("quil"),
                                 QStringLiteral("Service mode: enables the tabs Special Mode, Module Control 2, "
                                                "Read Far Memory and CAN Message."),
                                 QStringLiteral("[quil]"));
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
}

} // namespace

int main(int argc, char *argv[])
{
    answerInformationOptions(argc, argv);

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/images/crateflash64x64.png")));
    MainWindow window(app.arguments());
    window.show();
    TerminationSignals terminationSignals; // the close path closes the tunnel and releases the address
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window, &QWidget::close);
    return app.exec();
}
