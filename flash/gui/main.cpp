#include "mainwindow.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/images/crateflash64x64.png")));
    MainWindow window(app.arguments());
    window.show();
    TerminationSignals terminationSignals; // the close path closes the tunnel and releases the address
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window, &QWidget::close);
    return app.exec();
}
