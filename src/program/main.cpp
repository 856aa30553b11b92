#include "program/Globals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Lets the desktop match the window with its launcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VERBODROM_APP_ID));
    return Globals::run();
}
