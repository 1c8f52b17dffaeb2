// Times the window's run from "Start" to "Finish" on a record, drawing included: builds the
// main window (offscreen), picks the record as the chooser does, fills the column and header
// boxes and clicks "Start". Also reports, per status text, the longest time the window went
// without handling its events (a 5 ms timer's longest gap): what a keystroke or "Exit" waits.
// PICTURE.png, when given, receives the picture box's image as the run left it.
//
//   QT_QPA_PLATFORM=offscreen varnel-window-bench FILE X-COLUMN Y-COLUMN [SKIP-LINES [PICTURE.png]]

#include "bench/cpu_time.h"
#include "settings/run_settings.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr,
            "usage: varnel-window-bench FILE X-COLUMN Y-COLUMN [SKIP-LINES [PICTURE.png]]\n");
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
    window.dataFileOpenButton->click();
    window.xColumnBox->setText(QString::fromLocal8Bit(argv[2]));
    window.yColumnBox->setText(QString::fromLocal8Bit(argv[3]));
    window.skipLinesBox->setText(QString::fromLocal8Bit(argc > 4 ? argv[4] : "0"));
    // The longest gap between two turns of the event loop, by the status shown at its end.
    using Clock = std::chrono::steady_clock;
    std::map<QString, double> longestGap;
    Clock::time_point lastTurn = Clock::now();
    Clock::time_point start = lastTurn;
    QTimer turns;
    turns.setInterval(5);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        double& longest = longestGap[window.statusBox->text()];
        longest = std::max(longest, std::chrono::duration<double>(now - lastTurn).count());
        lastTurn = now;
    });
    turns.start();
    // When each status first showed, from the click.
    std::vector<std::pair<QString, double>> shown;
    QObject::connect(window.statusBox, &QLineEdit::textChanged, [&](const QString& text) {
        if (!text.isEmpty())
            shown.emplace_back(text, std::chrono::duration<double>(Clock::now() - start).count());
    });
    const double cpuStart = bench::cpuSeconds();
    const double ownStart = bench::threadCpuSeconds();
    start = Clock::now();
    window.startButton->click();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double cpu = bench::cpuSeconds() - cpuStart;
    const double own = bench::threadCpuSeconds() - ownStart;
    std::printf("window, Start to Finish: %.3f s (CPU %.3f s, the window's thread %.3f s), status "
                "\"%s\"\n",
        took.count(), cpu, own, window.statusBox->text().toLocal8Bit().constData());
    for (const auto& [status, at] : shown)
        std::printf("  \"%s\" shown at %.3f s\n", status.toLocal8Bit().constData(), at);
    for (const auto& [status, gap] : longestGap)
        std::printf("  longest wait for events under \"%s\": %.3f s\n",
            status.toLocal8Bit().constData(), gap);
    if (argc > 5 && !window.pictureBox->picture().save(QString::fromLocal8Bit(argv[5]))) {
        std::fprintf(stderr, "could not save the picture as %s\n", argv[5]);
        return 1;
    }
    return 0;
}
