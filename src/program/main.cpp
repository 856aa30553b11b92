#include "program/Globals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Globals::Main();
    return app.exec();
}
