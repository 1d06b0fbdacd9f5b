#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/images/crateflash64x64.png")));
    MainWindow window(app.arguments());
    window.show();
    return app.exec();
}
