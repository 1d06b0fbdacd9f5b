// cratectl: the operator program. The main window connects to the crate while
// it is constructed, so the splash screen covers the connection.

#include "product.h"
#include "terminationsignals.h"
#include "vexacontrol.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>
#include <QSplashScreen>

namespace {

// --help and --version are answered before any window system is touched, so they
// work without a display (and help2man can run them at build time). Everything
// else on the command line is left alone: only the first argument matters, and an
// unknown option has no effect.
void answerInformationOptions(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("cratectl"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Product::Version));
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    // Qt's own options (-reverse, -stylesheet ...) must not read as bundles of
    // short options that contain -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Operator program of the high-voltage modules of an MPOD crate.\n"
        "Connects over SNMP to the crate address kept in the settings (File, Select\n"
        "Controller... changes it), shows every module and channel and switches and\n"
        "sets them."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("quil"),
                                 QStringLiteral("Service mode: enables Special mode, Calibration Mode and "
                                                "Calibration Control."),
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

    Q_INIT_RESOURCE(cratectl);
    auto *application = new QApplication(argc, argv);
    // Before the window: its constructor connects and takes the address lock.
    auto *terminationSignals = new TerminationSignals;
    // A plain file name, looked up in the working directory; missing gives an
    // empty splash screen.
    auto *pixmap = new QPixmap(QString::fromLatin1(Product::SplashImage));
    auto *splash = new QSplashScreen(*pixmap);
    splash->show();
    QApplication::processEvents();

    auto *window = new VexaControl;
    window->setWindowIcon(QIcon(QString::fromLatin1(Product::WindowIcon)));
    window->show();
    splash->finish(window);
    QObject::connect(terminationSignals, &TerminationSignals::received, window, &QWidget::close);
    if (TerminationSignals::lastSignal() != 0) // taken while the constructor asked a question
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);

    const int exitCode = QApplication::exec();
    delete window;
    delete terminationSignals;
    delete splash;
    delete pixmap;
    delete application;
    return exitCode;
}
