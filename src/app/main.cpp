#include "app/applicationsetup.h"
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication();
    MainWindow window;
    window.show();
    return app.exec();
}
