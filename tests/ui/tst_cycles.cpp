// The cycle tables of a finished run in the window: the picture box's context menu entry, the
// dialog's tables, copying and saving them. The headless tool's tables of the same run are the
// reference: both front ends must show and save the same numbers.

#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/cycles/cycle_tables_view.h"
#include "ui/cycles/cycles_dialog.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using ui::CyclesDialog;
using ui::Form1;

namespace {

// The table's cells, each row joined by commas as a CSV line, under its header line.
QByteArray asCsv(const QTableWidget& table)
{
    QStringList lines;
    QStringList header;
    for (int c = 0; c < table.columnCount(); ++c)
        header << table.horizontalHeaderItem(c)->text();
    lines << header.join(QLatin1Char(','));
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < table.columnCount(); ++c)
            row << table.item(r, c)->text();
        lines << row.join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

}  // namespace

class TestCycles : public QObject
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

    void finishedRunShowsCopiesAndSavesTheTables()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString data = dir.filePath(QStringLiteral("wall.prn"));
        const QString reference = dir.filePath(QStringLiteral("ref/wall.prn"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ref")));
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), data));
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), reference));
        QProcess batch;
        batch.start(QStringLiteral(VARNEL_BATCH),
            { "--quiet", "--one-file", "--cycles", "--skip-lines", "2", "--x-column", "2",
                "--y-column", "3", reference });
        QVERIFY(batch.waitForFinished(60000));
        QCOMPARE(batch.exitCode(), 0);
        const QByteArray cycles = readAll(dir.filePath(QStringLiteral("ref/wall.cycles.csv")));
        const QByteArray backbone = readAll(dir.filePath(QStringLiteral("ref/wall.backbone.csv")));
        QVERIFY(cycles.count('\n') > 10);

        Form1 w;
        w.endProgram = [] {};
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QAction* entry = w.pictureBox->cyclesAction();
        QVERIFY(!entry->isEnabled());
        chooseWallExample(w, data);
        w.oneFileOption->click();  // the sides come back from the combined file
        w.startButton->click();
        QCOMPARE(w.statusBox->text(), QStringLiteral("Finish"));
        QVERIFY(entry->isEnabled());

        // A file chosen during the run is for the next: the picture keeps the run's name.
        const std::string chosen = settings::runSettings().DataFilePath;
        settings::runSettings().DataFilePath =
            dir.filePath(QStringLiteral("other.prn")).toStdString();
        QString suggested;
        w.pictureBox->askPictureName = [&](const QString& name) {
            suggested = name;
            return QString();
        };
        w.pictureBox->savePictureAction()->trigger();
        QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("wall.png"));
        settings::runSettings().DataFilePath = chosen;

        // A right-click on the picture box offers the entry beside the picture's own.
        QList<QAction*> offered;
        QTimer::singleShot(0, this, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    if (!action->isSeparator())
                        offered << action;
                menu->close();
            }
        });
        QContextMenuEvent click(
            QContextMenuEvent::Mouse, QPoint(5, 5), w.pictureBox->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.pictureBox, &click);
        QCOMPARE(offered,
            QList<QAction*>({ w.pictureBox->plotWindowAction(), entry,
                w.pictureBox->savePictureAction(), w.pictureBox->copyPictureAction() }));

        int shown = 0;
        w.pictureBox->showCycles = [&](QDialog& shownDialog) {
            ++shown;
            auto& dialog = dynamic_cast<CyclesDialog&>(shownDialog);
            QTableWidget& table = *dialog.view()->cyclesTable();
            QCOMPARE(asCsv(table), cycles);
            QCOMPARE(asCsv(*dialog.view()->backboneTable()), backbone);

            // Ctrl+C on a whole row copies it under the column names; on a block, the cells.
            table.setFocus();
            table.selectRow(1);
            QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);
            const QStringList header =
                QString::fromUtf8(cycles.left(cycles.indexOf('\r'))).split(QLatin1Char(','));
            QCOMPARE(QApplication::clipboard()->text(),
                header.join(QLatin1Char('\t')) + QStringLiteral("\r\n")
                    + QString::fromUtf8(cycles.split('\n')[2]).trimmed().replace(',', '\t')
                    + QStringLiteral("\r\n"));
            table.clearSelection();
            table.setRangeSelected(QTableWidgetSelectionRange(0, 4, 1, 5), true);
            QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QApplication::clipboard()->text(),
                table.item(0, 4)->text() + '\t' + table.item(0, 5)->text() + "\r\n"
                    + table.item(1, 4)->text() + '\t' + table.item(1, 5)->text() + "\r\n");

            // "Save CSV…" writes the files the headless tool writes; never the data file.
            QStringList names = { dir.filePath(QStringLiteral("saved cycles.csv")),
                dir.filePath(QStringLiteral("saved backbone.csv")) };
            dialog.askFileName = [&](const QString&, const QString&) { return names.takeFirst(); };
            dialog.saveButton()->click();
            QCOMPARE(readAll(dir.filePath(QStringLiteral("saved cycles.csv"))), cycles);
            QCOMPARE(readAll(dir.filePath(QStringLiteral("saved backbone.csv"))), backbone);
            const QByteArray before = readAll(data);
            names = { data };
            dialog.saveButton()->click();
            QCOMPARE(readAll(data), before);
            QCOMPARE(m_presenter.messages.size(), 1);
        };
        entry->trigger();
        QCOMPARE(shown, 1);

        // A new data file clears the picture and, with it, the tables.
        w.showChooser = [](ui::frmOpenSave& chooser) { chooser.reject(); };
        w.dataFileOpenButton->click();
        QVERIFY(!entry->isEnabled());
    }

private:
    RecordingPresenter m_presenter;
};

QTEST_MAIN(TestCycles)
#include "tst_cycles.moc"
