#include "simoptions.h"
#include "simulator.h"

#include "vexa_config.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    switch (options.parse(app.arguments())) {
    case SimOptions::Result::Help:
        std::fputs(qPrintable(options.text()), stdout);
        return 0;
    case SimOptions::Result::Error:
        std::fprintf(stderr, "cratesim: %s\n", qPrintable(options.text()));
        return 2;
    case SimOptions::Result::Run:
        break;
    }
    Simulator simulator(options);
    QString error;
    const QStringList mibDirs{QCoreApplication::applicationDirPath() + QStringLiteral("/../share/vexa/mibs"),
                              QStringLiteral(VEXA_INSTALL_MIBDIR), QStringLiteral(VEXA_SOURCE_MIBDIR)};
    if (!simulator.start(mibDirs, &error)) {
        std::fprintf(stderr, "cratesim: %s\n", qPrintable(error));
        return 1;
    }
    simulator.run();
    return 0;
}
