#include "app/translation.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Decided before the window exists: its texts are translated as it is built.
    loadTranslation();

    MainWindow window;
    window.show();
    return application.exec();
}
