// The main window under a user who clicks everything while a run is going: "Start" again,
// "Exit" and the close box in every phase, the chooser with its preview, typing into the
// settings, a data file deleted before "Start", and a long record.
#include "settings/run_settings.h"
#include "ui/common/fonts.h"
#include "ui/common/message_presenter.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

using ui::Form1;
using ui::frmOpenSave;

namespace {

// Chooses `path` through the real dialog: the name typed into its file-name box, then "OK".
auto choosing(const QString& path)
{
    return [path](frmOpenSave& chooser) {
        chooser.fileNameBox->setText(path);
        QTest::mouseClick(chooser.okButton, Qt::LeftButton);
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
    };
}

}  // namespace

class TestStress : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase()
    {
        ui::registerFontSubstitutes();
        ui::setMessagePresenter(&m_presenter);
        m_startFolder = QDir::currentPath();
        // The undisturbed run of the record every test uses, to compare with.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clean.prn"));
        writeCyclicRecord(path, 2000);
        Form1 w;
        w.endProgram = [] {};
        w.showChooser = choosing(path);
        w.dataFileOpenButton->click();
        setColumns(w);
        w.startButton->click();
        QVERIFY(m_presenter.messages.isEmpty());
        m_cleanPositive = readAll(dir.filePath(QStringLiteral("clean.vnp")));
        m_cleanNegative = readAll(dir.filePath(QStringLiteral("clean.vnn")));
        QVERIFY(m_cleanPositive.startsWith(" X-axis        Y-axis\r\n"));
        QVERIFY(m_cleanPositive.count('\n') > 50);
        QDir::setCurrent(m_startFolder);
    }

    void cleanupTestCase()
    {
        ui::setMessagePresenter(nullptr);
    }

    void init()
    {
        settings::runSettings().DataFilePath.clear();
        m_presenter.messages.clear();
        m_ended = 0;
        m_statuses.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("busy.prn"));
        writeCyclicRecord(m_path, 2000);
        m_window = std::make_unique<Form1>();
        Form1& w = *m_window;
        w.endProgram = [this] {
            QVERIFY(!m_window->runInProgress());
            ++m_ended;
        };
        w.yieldInterval = std::chrono::milliseconds(0);  // every yield handles the clicks
        connect(w.statusBox, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!text.isEmpty())
                m_statuses << text;
            if (m_actions.contains(text)) {
                const auto action = m_actions.take(text);
                QTimer::singleShot(0, m_window.get(), action);
            }
        });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.showChooser = choosing(m_path);
        QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
        QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(m_path).toStdString());
        setColumns(w);
    }

    void cleanup()
    {
        m_actions.clear();
        m_window.reset();
        QDir::setCurrent(m_startFolder);
        m_dir.reset();
    }

    // "Start" clicked again and again in every phase: one run, the same files as undisturbed.
    void startClickedRepeatedly()
    {
        Form1& w = *m_window;
        int clicks = 0;
        for (const QString& phase : kFinishedRun.mid(0, 3))
            m_actions[phase] = [&] {
                QVERIFY(w.runInProgress());
                for (int i = 0; i < 5; ++i) {
                    QTest::mouseClick(w.startButton, Qt::LeftButton);
                    ++clicks;
                }
            };
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(clicks, 15);
        QCOMPARE(m_statuses, kFinishedRun);
        QVERIFY(m_presenter.messages.isEmpty());
        expectCleanOutput();
        QVERIFY(!w.runInProgress());
        QVERIFY(w.startButton->isEnabled());
    }

    void endingInEachPhase_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<bool>("byClosing");
        for (const QString& phase : kFinishedRun.mid(0, 3)) {
            QTest::newRow(qPrintable(phase + " Exit")) << phase << false;
            QTest::newRow(qPrintable(phase + " close box")) << phase << true;
        }
    }

    // The run stops at its next yield, no message is shown, the program ends once, after the
    // run has unwound, and only the run's own files were touched.
    void endingInEachPhase()
    {
        QFETCH(QString, phase);
        QFETCH(bool, byClosing);
        Form1& w = *m_window;
        const QStringList before = filesIn(m_dir->path());
        const QByteArray data = readAll(m_path);
        int endedDuringRun = -1;
        m_actions[phase] = [&] {
            if (byClosing)
                w.close();
            else
                QTest::mouseClick(w.exitButton, Qt::LeftButton);
            // Clicks after the end was asked change nothing.
            QTest::mouseClick(w.startButton, Qt::LeftButton);
            endedDuringRun = m_ended;
        };
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(endedDuringRun, 0);
        QCOMPARE(m_ended, 1);
        QVERIFY(!w.isVisible());
        QVERIFY(!w.runInProgress());
        QVERIFY(m_presenter.messages.isEmpty());
        QCOMPARE(m_statuses.last(), phase);
        QCOMPARE(m_statuses.count(QStringLiteral("Data reading...")), 1);
        QCOMPARE(readAll(m_path), data);
        const QString base = m_path.left(m_path.size() - 3);
        for (const QString& name : filesIn(m_dir->path()))
            QVERIFY2(before.contains(name) || name.startsWith(QFileInfo(base).fileName()),
                qPrintable(name));
        // Stopped before the curve construction wrote anything: the probe's line at most.
        const QByteArray positive = readAll(base + "vnp");
        QVERIFY(positive.isEmpty() || positive == "Test output\r\n");
    }

    // "Exit" pressed in a chooser opened during a run: the chooser closes normally, the run
    // stops at its next yield, and the program ends once.
    void exitFromAChooserOpenedDuringARun()
    {
        Form1& w = *m_window;
        m_actions[QStringLiteral("Cross checking...")] = [&] {
            w.showChooser = [&](frmOpenSave& chooser) {
                QTest::mouseClick(w.exitButton, Qt::LeftButton);
                QCOMPARE(m_ended, 0);
                chooser.reject();
            };
            QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
        };
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_ended, 1);
        QVERIFY(!m_statuses.contains(QStringLiteral("Varnel creating...")));
    }

    // The chooser opened during a run previews a file, also the one the run is reading; the
    // run goes on undisturbed and the next run takes the new file.
    void chooserAndPreviewDuringARun()
    {
        Form1& w = *m_window;
        const QString other = m_dir->filePath(QStringLiteral("other.prn"));
        writeText(other, "other header\r\n0 0 0\r\n");
        m_actions[QStringLiteral("Data reading...")] = [&] {
            w.showChooser = choosing(m_path);
            QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
            QCOMPARE(w.previewLines[0]->text(), QStringLiteral("no.  deformation  load"));
        };
        m_actions[QStringLiteral("Cross checking...")] = [&] {
            w.showChooser = choosing(other);
            QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
        };
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        QVERIFY(m_presenter.messages.isEmpty());
        expectCleanOutput();
        QCOMPARE(w.fileNameBoxes[0]->text(), m_path);  // the run's names stay in their boxes
        QCOMPARE(w.previewLines[0]->text(), QStringLiteral("other header"));
        QCOMPARE(w.previewLines[1]->text(), QStringLiteral("0 0 0"));
        QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(other).toStdString());

        // The next run reads the file chosen meanwhile: two lines make one point, too few.
        m_statuses.clear();
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(
            m_presenter.texts(), QStringList { dataErrorText(run::FailureCode::IndexOutOfRange) });
        QVERIFY(w.statusBox->text().isEmpty());
    }

    // Settings typed during a run reach the settings at once, but the run keeps the copy it
    // took at its start; the next run uses them.
    void settingsTypedDuringARun()
    {
        Form1& w = *m_window;
        m_actions[QStringLiteral("Cross checking...")] = [&] {
            for (QLineEdit* box : { w.xColumnBox, w.yColumnBox, w.xCoefficientBox,
                     w.yCoefficientBox, w.skipLinesBox })
                box->selectAll();
            QTest::keyClicks(w.xColumnBox, QStringLiteral("3"));
            QTest::keyClicks(w.yColumnBox, QStringLiteral("2"));
            QTest::keyClicks(w.xCoefficientBox, QStringLiteral("-1"));
            QTest::keyClicks(w.yCoefficientBox, QStringLiteral("2.5"));
            QTest::keyClicks(w.skipLinesBox, QStringLiteral("7"));
            QTest::mouseClick(w.oneFileOption, Qt::LeftButton);
            QTest::mouseClick(w.keepWorkingFilesBox, Qt::LeftButton);
            const settings::RunSettings& s = settings::runSettings();
            QCOMPARE(s.XColumn, 3);
            QCOMPARE(s.YColumn, 2);
            QCOMPARE(s.XCoefficient, -1.0f);
            QCOMPARE(s.YCoefficient, 2.5f);
            QCOMPARE(s.SkipLines, 7);
            QCOMPARE(s.OutputMode, 2);
            QCOMPARE(s.KeepWorkingFiles, 1);
        };
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        expectCleanOutput();
        QCOMPARE(filesIn(m_dir->path()), QStringList({ "busy.prn", "busy.vnn", "busy.vnp" }));

        // The next run takes what was typed: swapped columns, one file, working files kept.
        m_statuses.clear();
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        QCOMPARE(filesIn(m_dir->path()),
            QStringList(
                { "busy.bu0", "busy.buf", "busy.prn", "busy.vnl", "busy.vnn", "busy.vnp" }));
        QVERIFY(readAll(m_dir->filePath(QStringLiteral("busy.vnp"))) != m_cleanPositive);
    }

    // The chosen file deleted (or replaced by a folder) before "Start": the data error, no file
    // made for it, a window that runs again as soon as the file is back.
    void dataFileGoneBeforeStart()
    {
        Form1& w = *m_window;
        QVERIFY(QFile::remove(m_path));
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(
            m_presenter.texts(), QStringList { dataErrorText(run::FailureCode::FileNotFound) });
        QVERIFY(w.statusBox->text().isEmpty());
        QCOMPARE(filesIn(m_dir->path()), QStringList());

        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("busy.prn")));
        m_presenter.messages.clear();
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_presenter.texts(),
            QStringList { dataErrorText(run::FailureCode::PathFileAccessError) });

        QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("busy.prn")));
        writeCyclicRecord(m_path, 2000);
        m_presenter.messages.clear();
        m_statuses.clear();
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        QVERIFY(m_presenter.messages.isEmpty());
        expectCleanOutput();
    }

    // The window and varnel-batch on one data file at once: the batch run fails at once and
    // changes nothing; the window's run finishes whole.
    void windowAndBatchOnOneFile()
    {
        Form1& w = *m_window;
        int batchStatus = -1;
        QString batchErrors;
        m_actions[QStringLiteral("Cross checking...")] = [&] {
            const QStringList before = filesIn(m_dir->path());
            const QByteArray positive = readAll(m_dir->filePath(QStringLiteral("busy.vnp")));
            QProcess batch;
            batch.start(QStringLiteral(VARNEL_BATCH), { QStringLiteral("--quiet"), m_path });
            QVERIFY(batch.waitForFinished(60000));
            batchStatus = batch.exitCode();
            batchErrors = QString::fromLocal8Bit(batch.readAllStandardError());
            QCOMPARE(filesIn(m_dir->path()), before);
            QCOMPARE(readAll(m_dir->filePath(QStringLiteral("busy.vnp"))), positive);
        };
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        QCOMPARE(batchStatus, 1);
        QVERIFY2(batchErrors.contains(QStringLiteral("application. (75)"))
                && batchErrors.contains(QStringLiteral("in use by another run")),
            qPrintable(batchErrors));
        expectCleanOutput();
    }

    // A link at a curve file is not written through; "Start" with no data file chosen leaves
    // no status behind.
    void linkAtACurveFileAndNoDataFile()
    {
        Form1& w = *m_window;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("victim.txt"));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("another file of the user\r\n");
        file.close();
        QVERIFY(QFile::link(victim, m_dir->filePath(QStringLiteral("busy.vnn"))));
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_presenter.texts(),
            QStringList { outputFileText(run::FailureCode::PathFileAccessError) });
        QVERIFY(w.statusBox->text().isEmpty());
        QCOMPARE(readAll(victim), QByteArray("another file of the user\r\n"));
        QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("busy.vnn"))).symLinkTarget(), victim);

        m_presenter.messages.clear();
        settings::runSettings().DataFilePath.clear();
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QVERIFY(m_presenter.messages.isEmpty());
        QVERIFY(w.statusBox->text().isEmpty());
    }

    // A long record made by the project's generator, with the window's own yield interval:
    // clicks and timers are handled throughout, the run finishes once, and "Exit" afterwards
    // ends the program.
    void longRecordStaysResponsive()
    {
        Form1& w = *m_window;
        w.yieldInterval = std::chrono::milliseconds(15);
        const QString path = m_dir->filePath(QStringLiteral("long.prn"));
        QProcess generate;
        generate.start(QStringLiteral(VARNEL_GENERATE),
            { QStringLiteral("--samples"), QStringLiteral("300000"), QStringLiteral("--columns"),
                QStringLiteral("3"), QStringLiteral("--noise"), QStringLiteral("0.00001"),
                QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("-o"), path });
        QVERIFY(generate.waitForFinished(120000));
        QCOMPARE(generate.exitCode(), 0);
        w.showChooser = choosing(path);
        QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
        w.skipLinesBox->setText(QStringLiteral("0"));

        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestGap = 0;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - last);
            last = now;
            ++ticks;
            // A click in the middle of the run is handled, and ignored.
            if (ticks == 3)
                QTest::mouseClick(w.startButton, Qt::LeftButton);
        });
        clock.start();
        ticker.start(20);
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        ticker.stop();
        QCOMPARE(m_statuses, kFinishedRun);
        QVERIFY(m_presenter.messages.isEmpty());
        QVERIFY2(ticks >= 3, "no timer ran during the long run");
        qInfo("300000 samples: %lld ms, %d timer ticks, longest gap between them %lld ms",
            clock.elapsed(), ticks, longestGap);
        QVERIFY(readAll(m_dir->filePath(QStringLiteral("long.vnp"))).count('\n') > 100);
        QTest::mouseClick(w.exitButton, Qt::LeftButton);
        QCOMPARE(m_ended, 1);
    }

private:
    static void setColumns(Form1& w)
    {
        w.skipLinesBox->setText(QStringLiteral("1"));
        w.xColumnBox->setText(QStringLiteral("2"));
        w.yColumnBox->setText(QStringLiteral("3"));
    }

    void expectCleanOutput()
    {
        QCOMPARE(readAll(m_dir->filePath(QStringLiteral("busy.vnp"))), m_cleanPositive);
        QCOMPARE(readAll(m_dir->filePath(QStringLiteral("busy.vnn"))), m_cleanNegative);
    }

    RecordingPresenter m_presenter;
    QString m_startFolder;
    QByteArray m_cleanPositive;
    QByteArray m_cleanNegative;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_window;
    QString m_path;
    QStringList m_statuses;
    QHash<QString, std::function<void()>> m_actions;
    int m_ended = 0;
};

QTEST_MAIN(TestStress)
#include "tst_stress.moc"
