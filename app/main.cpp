#include "ui/common/fonts.h"
#include "ui/main_window/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::registerFontSubstitutes();
    Form1 window;
    window.show();
    return app.exec();
}
