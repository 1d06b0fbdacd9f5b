// cratectl: the operator program. The main window connects to the crate while
// it is constructed, so the splash screen covers the connection.

#include "product.h"
#include "vexacontrol.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSplashScreen>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(cratectl);
    auto *application = new QApplication(argc, argv);
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

    const int exitCode = QApplication::exec();
    delete window;
    delete splash;
    delete pixmap;
    delete application;
    return exitCode;
}
