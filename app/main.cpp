// cratectl: the operator program. The main window is shown, then asks for the
// address and connects to the crate on its crate thread while it paints.

#include "informationoptions.h"
#include "product.h"
#include "terminationsignals.h"
#include "vexacontrol.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSplashScreen>

int main(int argc, char *argv[])
{
    answerInformationOptions(argc, argv,
                             {QStringLiteral("cratectl"), QString::fromLatin1(Product::Version),
                              QStringLiteral("Operator program of the high-voltage modules of an MPOD crate.\n"
                                             "Connects over SNMP to the crate address kept in the settings (File, "
                                             "Select\nController... changes it), shows every module and channel and "
                                             "switches and\nsets them."),
                              QStringLiteral("Service mode: enables Special mode, Calibration Mode and Calibration "
                                             "Control.")});

    Q_INIT_RESOURCE(cratectl);
    auto *application = new QApplication(argc, argv);
    // Before the window: it connects and takes the address lock.
    auto *terminationSignals = new TerminationSignals;
    // A plain file name, looked up in the working directory; missing gives an
    // empty splash screen.
    auto *pixmap = new QPixmap(QString::fromLatin1(Product::SplashImage));
    auto *splash = new QSplashScreen(*pixmap);
    splash->show();
    QApplication::processEvents();

    // The window is shown first; it asks for the address and connects (on the
    // crate thread) with its own event loop running, so it paints meanwhile.
    auto *window = new VexaControl(VexaControl::ConnectLater);
    window->setWindowIcon(QIcon(QString::fromLatin1(Product::WindowIcon)));
    window->show();
    splash->finish(window);
    QObject::connect(terminationSignals, &TerminationSignals::received, window, &QWidget::close);
    window->initModuleAccess();
    if (TerminationSignals::lastSignal() != 0) // taken while an address question was open
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);

    const int exitCode = QApplication::exec();
    delete window;
    delete terminationSignals;
    delete splash;
    delete pixmap;
    delete application;
    return exitCode;
}
