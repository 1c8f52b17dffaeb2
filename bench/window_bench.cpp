// Times the window's run from "Start" to "Finish" on a record, drawing included: builds the
// main window (offscreen), picks the record as the chooser does, fills the column and header
// boxes and clicks "Start".
//
//   QT_QPA_PLATFORM=offscreen varnel-window-bench FILE X-COLUMN Y-COLUMN [SKIP-LINES]

#include "bench/cpu_time.h"
#include "settings/run_settings.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: varnel-window-bench FILE X-COLUMN Y-COLUMN [SKIP-LINES]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);
    ui::Form1 window;
    window.showChooser = [&file](ui::frmOpenSave& chooser) {
        settings::runSettings().DataFilePath = QFile::encodeName(file).toStdString();
        chooser.accept();
    };
    window.endProgram = [] {};
    window.show();
    window.Command2->click();
    window.Text4->setText(QString::fromLocal8Bit(argv[2]));
    window.Text5->setText(QString::fromLocal8Bit(argv[3]));
    window.Text10->setText(QString::fromLocal8Bit(argc > 4 ? argv[4] : "0"));
    const double cpuStart = bench::cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    window.Command1->click();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double cpu = bench::cpuSeconds() - cpuStart;
    std::printf("window, Start to Finish: %.3f s (CPU %.3f s), status \"%s\"\n", took.count(), cpu,
        window.Text1->text().toLocal8Bit().constData());
    return 0;
}
