#include "informationoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

void answerInformationOptions(int argc, char *argv[], const InformationOptions &options)
{
    QCoreApplication::setApplicationName(options.name);
    QCoreApplication::setApplicationVersion(options.version);
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    // Qt's own options (-reverse, -stylesheet ...) must not read as bundles of
    // short options that contain -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(options.description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("quil"), options.serviceModeHelp, QStringLiteral("[quil]"));
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
}
