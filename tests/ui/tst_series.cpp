// A test series in the plot window: runs added for comparison, their queue, and the Series page
// against varnel-batch --summary.

#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui/plot_window/plot_window.h"
#include "ui/plot_window/series_view.h"
#include "ui_test_support.h"

#include <QProcess>
#include <QTableWidget>

#include <optional>

using ui::PlotWindow;

namespace {

// The settings of the wall example, as the main window's boxes give them.
ui::AddedRunSettings wallSettings()
{
    ui::AddedRunSettings s;
    settings::applyStartupDefaults(s.settings);
    s.settings.XColumn = 2;
    s.settings.YColumn = 3;
    s.settings.SkipLines = 2;
    return s;
}

// What a run leaves that a user sees: its files, the main window's boxes and picture, the
// program's settings.
struct MainRunState
{
    QByteArray positive;
    QByteArray negative;
    QStringList boxes;
    QImage picture;
    std::string dataFile;
    std::int16_t yColumn = 0;

    static MainRunState of(ui::Form1& w, const QString& base)
    {
        MainRunState state { readAll(base + QStringLiteral("vnp")),
            readAll(base + QStringLiteral("vnn")), {}, w.pictureBox->picture(),
            settings::runSettings().DataFilePath, settings::runSettings().YColumn };
        state.boxes << w.statusBox->text();
        for (QLineEdit* box : w.fileNameBoxes)
            state.boxes << box->text();
        return state;
    }

    bool operator==(const MainRunState& o) const
    {
        return positive == o.positive && negative == o.negative && boxes == o.boxes
            && picture == o.picture && dataFile == o.dataFile && yColumn == o.yColumn;
    }
};

}  // namespace

class TestSeries : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase()
    {
        ui::setMessagePresenter(&m_presenter);
    }

    void cleanupTestCase()
    {
        ui::setMessagePresenter(nullptr);
    }

    void init()
    {
        m_presenter.messages.clear();
    }

    // A run added with the main window's settings as they are then (a Y coefficient typed since
    // the main run) writes its own curve files and changes nothing of the main run: its files,
    // the window's boxes and picture, the settings, the plot's own data. The main run's data
    // file is refused.
    void addedRunsLeaveTheMainRunAlone()
    {
        WallExampleWindow wall;
        QVERIFY(wall.ready());
        ui::Form1& w = wall.w;
        chooseWallExample(w, wall.data);
        w.startButton->click();
        QCOMPARE(w.statusBox->text(), QStringLiteral("Finish"));
        w.pictureBox->plotWindowAction()->trigger();
        PlotWindow* plot = w.pictureBox->plotWindow();
        QVERIFY(plot);
        const QString other = wall.dir.filePath(QStringLiteral("other.prn"));
        QVERIFY(QFile::copy(wall.data, other));
        w.yCoefficientBox->setText(QStringLiteral("2"));
        const MainRunState before = MainRunState::of(w, wall.dir.filePath(QStringLiteral("wall.")));
        const plot::PlotData* shown = &plot->data();

        plot->askDataFiles = [&] { return QStringList { wall.data, other }; };
        plot->findChild<QAction*>(QStringLiteral("addRunAction"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(plot->addedRuns().size(), std::size_t(1), 20000);
        QCOMPARE(plot->addedRunQueue()->running(), std::size_t(0));

        QCOMPARE(m_presenter.messages.size(), 1);
        QVERIFY(m_presenter.messages.front().text.contains(QStringLiteral("main run")));
        QVERIFY(MainRunState::of(w, wall.dir.filePath(QStringLiteral("wall."))) == before);
        QCOMPARE(&plot->data(), shown);
        QVERIFY(QFile::exists(wall.dir.filePath(QStringLiteral("other.vnp"))));
        // The added run's loads are twice the main run's, its record drawn from its own lines.
        const std::vector<ui::SeriesEntry>& rows = plot->seriesView()->entries();
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(*rows[1].row.positive.peakLoad, 2 * *rows[0].row.positive.peakLoad);
        QCOMPARE(plot->addedRuns().front().plot->lines.front(), 3u);
    }

    // Two runs at once, one while the main window runs its own; the rest wait their turn, and all
    // end up in the Series page, where unticking a run hides it.
    void queuesTwoAtMost()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList files;
        for (const char* name : { "a.prn", "b.prn", "c.prn", "d.prn" }) {
            files << dir.filePath(QLatin1String(name));
            QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), files.back()));
        }
        PlotWindow plot;
        plot.runSettingsSource = wallSettings;
        ui::AddedRunQueue& queue = *plot.addedRunQueue();
        plot.setMainRunInProgress(true);
        plot.addRuns(files.mid(0, 2));
        QCOMPARE(queue.running(), std::size_t(1));
        QCOMPARE(queue.waiting(), std::size_t(1));
        plot.setMainRunInProgress(false);
        QCOMPARE(queue.running(), std::size_t(2));
        plot.addRuns(files.mid(2));
        QCOMPARE(queue.running(), std::size_t(2));
        QCOMPARE(queue.waiting(), std::size_t(2));
        QVERIFY(queue.progressText().contains(QStringLiteral("2 waiting")));
        QTRY_COMPARE_WITH_TIMEOUT(plot.addedRuns().size(), std::size_t(4), 30000);
        QVERIFY(m_presenter.messages.isEmpty());

        QTableWidget& table = *plot.seriesView()->table();
        QCOMPARE(table.rowCount(), 4);
        table.item(1, 0)->setCheckState(Qt::Unchecked);
        QCOMPARE(int(std::count_if(plot.addedRuns().begin(), plot.addedRuns().end(),
                     [](const ui::AddedRun& run) { return run.visible; })),
            3);
    }

    // The Series page saves exactly what varnel-batch --summary writes of the same files.
    void seriesCsvIsTheSummarys()
    {
        WallExampleWindow wall;
        QVERIFY(wall.ready());
        ui::Form1& w = wall.w;
        chooseWallExample(w, wall.data);
        w.startButton->click();
        w.pictureBox->plotWindowAction()->trigger();
        PlotWindow* plot = w.pictureBox->plotWindow();
        QVERIFY(plot);
        const QString other = wall.dir.filePath(QStringLiteral("other, \"quoted\".prn"));
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/brace.dat"), other));
        // brace.dat's columns are 1 and 2: with the wall's 2 and 3 its run fails.
        plot->addRuns({ other });
        QTRY_COMPARE_WITH_TIMEOUT(m_presenter.messages.size(), 1, 20000);
        QVERIFY(m_presenter.messages.front().text.contains(QStringLiteral("quoted")));
        QVERIFY(QFile::copy(wall.data, other + QStringLiteral(".prn")));
        plot->addRuns({ other + QStringLiteral(".prn") });
        QTRY_COMPARE_WITH_TIMEOUT(plot->addedRuns().size(), std::size_t(1), 20000);

        const QString saved = wall.dir.filePath(QStringLiteral("window.csv"));
        plot->seriesView()->askFileName = [&](const QString&, const QString&) { return saved; };
        plot->seriesView()->saveButton()->click();
        QProcess batch;
        batch.start(QStringLiteral(VARNEL_BATCH),
            { QStringLiteral("--quiet"), QStringLiteral("--x-column"), QStringLiteral("2"),
                QStringLiteral("--y-column"), QStringLiteral("3"), QStringLiteral("--skip-lines"),
                QStringLiteral("2"), QStringLiteral("--summary"),
                wall.dir.filePath(QStringLiteral("batch.csv")), wall.data,
                other + QStringLiteral(".prn") });
        QVERIFY(batch.waitForFinished(30000));
        QCOMPARE(batch.exitCode(), 0);
        const QByteArray summary = readAll(wall.dir.filePath(QStringLiteral("batch.csv")));
        QVERIFY(summary.contains("\"\"quoted\"\""));
        QCOMPARE(readAll(saved), summary);
    }

private:
    RecordingPresenter m_presenter;
};

QTEST_MAIN(TestSeries)
#include "tst_series.moc"
