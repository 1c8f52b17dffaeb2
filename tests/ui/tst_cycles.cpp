// The cycle tables of a finished run in the window: the picture box's context menu entry, the
// dialog's tables, copying and saving them, and its options. The headless tool's tables of the
// same run are the reference: both front ends must show and save the same numbers.

#include "analysis/cycle_analysis.h"
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
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
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

// The table's fields, each row joined by commas as a CSV line, under its header line.
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
            row << ui::CycleTablesView::fieldText(table.item(r, c));
        lines << row.join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// The three tables varnel-batch --cycles writes for a copy of `data` in `folder`, with `options`.
QList<QByteArray> batchTables(const QString& data, const QString& folder, QStringList options)
{
    const QString copy = QDir(folder).filePath(QStringLiteral("wall.prn"));
    if (!QDir().mkpath(folder) || !QFile::copy(data, copy))
        return {};
    QProcess batch;
    batch.start(QStringLiteral(VARNEL_BATCH),
        options << "--quiet"
                << "--one-file"
                << "--cycles"
                << "--skip-lines"
                << "2"
                << "--x-column"
                << "2"
                << "--y-column"
                << "3" << copy);
    if (!batch.waitForFinished(60000) || batch.exitCode() != 0)
        return {};
    QList<QByteArray> tables;
    for (const char* table : { "cycles", "envelope", "backbone" })
        tables << readAll(QDir(folder).filePath(QStringLiteral("wall.%1.csv").arg(table)));
    return tables;
}

QList<QByteArray> shownTables(const ui::CycleTablesView& view)
{
    return { asCsv(*view.cyclesTable()), asCsv(*view.envelopeTable()),
        asCsv(*view.backboneTable()) };
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
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), data));
        const QList<QByteArray> reference = batchTables(data, dir.filePath("ref"), {});
        const QList<QByteArray> otherOptions = batchTables(data, dir.filePath("ref2"),
            { "--level-tolerance", "0.3", "--envelope", "deformation" });
        QCOMPARE(reference.size(), 3);
        QCOMPARE(otherOptions.size(), 3);
        const QByteArray& cycles = reference[0];
        QVERIFY(cycles.count('\n') > 10);
        QVERIFY(otherOptions != reference);

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
            ui::CycleAnalysisView& view = *dynamic_cast<CyclesDialog&>(shownDialog).view();
            if (shown == 2) {
                // The dialog opens again with the options last applied.
                QCOMPARE(view.levelToleranceEdit()->text(), QStringLiteral("0.3"));
                QCOMPARE(shownTables(*view.tablesView()), otherOptions);
                return;
            }
            QTableWidget& table = *view.tablesView()->cyclesTable();
            QCOMPARE(shownTables(*view.tablesView()), reference);
            QVERIFY(view.signMessage()->isHidden());
            // A cell shows 6 digits of its field, the whole field as tool tip.
            const QTableWidgetItem* energy = table.item(0, 14);
            const QString field = ui::CycleTablesView::fieldText(energy);
            QCOMPARE(table.horizontalHeaderItem(14)->text(), QStringLiteral("energy"));
            QVERIFY(field.size() > 8);
            QCOMPARE(energy->text(), QString::number(field.toDouble(), 'g', 6));
            QCOMPARE(energy->toolTip(), field);

            // Ctrl+C on a whole row copies its fields under the column names; on a block, the
            // fields of its cells.
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
            const auto fieldAt = [&](int r, int c) {
                return ui::CycleTablesView::fieldText(table.item(r, c));
            };
            QCOMPARE(QApplication::clipboard()->text(),
                fieldAt(0, 4) + '\t' + fieldAt(0, 5) + "\r\n" + fieldAt(1, 4) + '\t' + fieldAt(1, 5)
                    + "\r\n");

            // "Save CSV…" writes the files the headless tool writes; never the data file.
            const QStringList saved = { dir.filePath(QStringLiteral("saved cycles.csv")),
                dir.filePath(QStringLiteral("saved envelope.csv")),
                dir.filePath(QStringLiteral("saved backbone.csv")) };
            QStringList names = saved;
            view.askFileName = [&](const QString&, const QString&) { return names.takeFirst(); };
            view.saveButton()->click();
            QCOMPARE(QList<QByteArray>({ readAll(saved[0]), readAll(saved[1]), readAll(saved[2]) }),
                reference);
            const QByteArray before = readAll(data);
            names = QStringList { data };
            view.saveButton()->click();
            QCOMPARE(readAll(data), before);
            QCOMPARE(m_presenter.messages.size(), 1);

            // Other options give the tables the headless tool writes with them, at once; a
            // value it refuses is marked and changes nothing.
            view.levelToleranceEdit()->setText(QStringLiteral("0.3"));
            view.envelopeBox()->setCurrentIndex(
                view.envelopeBox()->findData(int(analysis::EnvelopeKind::Deformation)));
            QCOMPARE(shownTables(*view.tablesView()), otherOptions);
            const auto applied = view.tables();
            for (const QString& refused : { QStringLiteral("0.5"), QStringLiteral("1/2") }) {
                view.cycleToleranceEdit()->setText(refused);
                QVERIFY(!view.optionsMessage()->isHidden());
                QVERIFY(!view.cycleToleranceEdit()->styleSheet().isEmpty());
                QCOMPARE(view.tables(), applied);
            }
            view.cycleToleranceEdit()->setText(QStringLiteral("0.01"));
            QVERIFY(view.optionsMessage()->isHidden());
            QCOMPARE(view.tables(), applied);
        };
        entry->trigger();
        entry->trigger();
        QCOMPARE(shown, 2);

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
