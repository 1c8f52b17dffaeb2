#include "ui/common/fonts.h"
#include "ui/main_window/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Lets the desktop match the window to its entry (and icon), on Wayland too.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.varnel.Varnel"));
    ui::registerFontSubstitutes();
    ui::Form1 window;
    window.show();
    return app.exec();
}
