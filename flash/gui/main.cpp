#include "informationoptions.h"
#include "mainwindow.h"
#include "product.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    // The tool's own version, then the release of the suite it came with.
    answerInformationOptions(argc, argv,
                             {QStringLiteral("crateflash"),
                              QStringLiteral("%1 (vexa %2)")
                                  .arg(QLatin1String(MainWindow::Version), QLatin1String(Product::Version)),
                              QStringLiteral("Service tool for the high-voltage modules of an MPOD crate: scans the "
                                             "modules\nbehind the crate's CAN tunnel, writes firmware from Intel HEX "
                                             "files, reads and\nclears their event memory and changes their CAN bit "
                                             "rate."),
                              QStringLiteral("Service mode: enables the tabs Special Mode, Module Control 2, Read Far "
                                             "Memory and CAN Message.")});

    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/images/crateflash64x64.png")));
    MainWindow window(app.arguments());
    window.show();
    TerminationSignals terminationSignals; // the close path closes the tunnel and releases the address
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window, &QWidget::close);
    return app.exec();
}
