#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/common/fonts.h"
#include "ui/common/message_presenter.h"
#include "ui/common/twips.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/gui_run_host.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/plot_view.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <unistd.h>
#include <vector>

using ui::Form1;
using ui::frmOpenSave;
using ui::GuiRunHost;
using ui::ShowDataFilePreview;

namespace {

void cancelling(frmOpenSave& chooser)
{
    chooser.reject();
}

int countRed(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80)
                ++count;
        }
    return count;
}

int countGroupColoured(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 80 && c.green() > 100 && c.blue() < 200)
                ++count;
        }
    return count;
}

void saveScreenshot(QWidget& window, const QString& name)
{
    QDir().mkpath(QStringLiteral(VARNEL_SCREENSHOT_DIR));
    QVERIFY(window.grab().save(QStringLiteral(VARNEL_SCREENSHOT_DIR "/") + name));
}

// Drops `urls` on `window` as a file manager would, and lets the window answer.
void dropUrls(QWidget& window, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPointF at(window.width() / 2.0, window.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QCoreApplication::processEvents();
}

// The texts a line edit showed each time it was painted.
class PaintedTexts : public QObject
{
public:
    explicit PaintedTexts(QLineEdit& box)
        : m_box(box)
    {
        box.installEventFilter(this);
    }

    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_box && event->type() == QEvent::Paint)
            texts << m_box.text();
        return false;
    }

private:
    QLineEdit& m_box;
};

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase()
    {
        ui::registerFontSubstitutes();
        ui::setMessagePresenter(&m_presenter);
        m_startFolder = QDir::currentPath();
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
        m_window = std::make_unique<Form1>();
        m_window->endProgram = [this] { ++m_ended; };
        connect(m_window->statusBox, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!text.isEmpty())
                m_statuses << text;
        });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        // The chooser makes the folder it shows the current one; don't leave that in a folder
        // about to be removed.
        QDir::setCurrent(m_startFolder);
        m_dir.reset();
    }

    void startupDefaults()
    {
        Form1& w = *m_window;
        const settings::RunSettings& s = settings::runSettings();
        QCOMPARE(w.windowTitle(), QStringLiteral("Varnel"));
        QCOMPARE(w.xColumnBox->text(), QStringLiteral("1"));
        QCOMPARE(w.yColumnBox->text(), QStringLiteral("2"));
        QCOMPARE(w.xCoefficientBox->text(), QStringLiteral("1"));
        QCOMPARE(w.yCoefficientBox->text(), QStringLiteral("1"));
        QCOMPARE(w.skipLinesBox->text(), QStringLiteral("0"));
        QCOMPARE(s.XColumn, 1);
        QCOMPARE(s.YColumn, 2);
        QCOMPARE(s.XCoefficient, 1.0f);
        QCOMPARE(s.YCoefficient, 1.0f);
        QCOMPARE(s.SkipLines, 0);
        QCOMPARE(s.OutputMode, 1);
        QCOMPARE(s.KeepWorkingFiles, 0);
        QVERIFY(w.twoFilesOption->isChecked());
        QVERIFY(!w.keepWorkingFilesBox->isChecked());
        QVERIFY(!w.startButton->isEnabled());
        QVERIFY(w.statusBox->text().isEmpty());
        for (QLineEdit* box : w.fileNameBoxes)
            QVERIFY(box->text().isEmpty());
        for (QLineEdit* box : w.previewLines)
            QVERIFY(box->text().isEmpty());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("Label22"))
                    ->text()
                    .contains(QStringLiteral(VARNEL_VERSION)));
        QVERIFY(!w.windowIcon().isNull());
        saveScreenshot(w, QStringLiteral("main_window_startup.png"));
    }

    void everyControlAtItsPlace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twipsGeometry");
        QTest::addColumn<QString>("text");

        const struct
        {
            const char* name;
            int left, top, width, height;
            const char* text;
        } rows[] = {
            { "Command2", 240, 240, 1575, 375, "Data File Open" },
            { "Command1", 1920, 240, 1575, 375, "Start" },
            { "Text1", 3600, 240, 1815, 375, "" },
            { "Command4", 5520, 240, 975, 375, "Exit" },
            { "Shape3", 240, 720, 2055, 3255, nullptr },
            { "Picture1", 2400, 720, 4095, 3255, nullptr },
            { "Label5", 360, 840, 1815, 255, "X-axis" },
            { "Label4", 360, 1080, 735, 255, "column" },
            { "Label8", 1080, 1080, 1095, 255, "coeficient" },
            { "Text4", 360, 1320, 735, 285, "1" },
            { "Text6", 1080, 1320, 1095, 285, "1" },
            { "Label6", 360, 1680, 1815, 255, "Y-axis column" },
            { "Label7", 360, 1920, 735, 255, "column" },
            { "Label9", 1080, 1920, 1095, 255, "coeficient" },
            { "Text5", 360, 2160, 735, 285, "2" },
            { "Text7", 1080, 2160, 1095, 285, "1" },
            { "Label12", 360, 2520, 1815, 255, "Skip line" },
            { "Text10", 360, 2760, 1815, 285, "0" },
            { "Option1", 360, 3120, 1815, 255, "2 output files" },
            { "Option2", 360, 3360, 1815, 255, "1 output file" },
            { "Check1", 360, 3600, 1815, 255, "Keep temporals" },
            { "Label14", 240, 4080, 6255, 2295, "Data file" },
            { "Label1", 1080, 4080, 855, 255, "input file" },
            { "Text20", 2040, 4080, 4455, 225, "" },
            { "Label3", 840, 4320, 1095, 255, "ounput file1" },
            { "Text21", 2040, 4320, 4455, 225, "" },
            { "Label2", 840, 4560, 1095, 255, "output file2" },
            { "Text22", 2040, 4560, 4455, 225, "" },
            { "Text110", 360, 4800, 6015, 255, "" },
            { "Text111", 360, 5040, 6015, 255, "" },
            { "Text112", 360, 5280, 6015, 255, "" },
            { "Text113", 360, 5520, 6015, 255, "" },
            { "Text114", 360, 5760, 6015, 255, "" },
            { "Text115", 360, 6000, 6015, 255, "" },
            { "Label22", 120, 6360, 6495, 255, nullptr },
        };

        for (const auto& row : rows)
            QTest::newRow(row.name)
                << QString::fromLatin1(row.name) << QRect(row.left, row.top, row.width, row.height)
                << (row.text ? QString::fromLatin1(row.text) : QString());
    }

    void everyControlAtItsPlace()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twipsGeometry);
        QFETCH(QString, text);
        auto* control = m_window->findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(control->parentWidget(), m_window.get());
        const QRect& t = twipsGeometry;
        QCOMPARE(control->geometry(), ui::twipsRect(t.x(), t.y(), t.width(), t.height()));
        if (text.isNull())
            return;
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(control))
            shown = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            shown = button->text();
        else if (auto* box = qobject_cast<QLineEdit*>(control))
            shown = box->text();
        QCOMPARE(shown, text);
    }

    void windowFrameFontsAndTabOrder()
    {
        Form1& w = *m_window;
        QCOMPARE(w.size(), QSize(447, 445));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));

        // The keyboard order of the controls that take the focus.
        const QStringList expected = { "Command2", "Command1", "Command4", "Text4", "Text6",
            "Text5", "Text7", "Text10", "Option1", "Option2", "Check1", "Text110", "Text111",
            "Text112", "Text113", "Text114", "Text115", "Text1", "Text20", "Text21", "Text22" };
        QStringList chain;
        QWidget* next = w.dataFileOpenButton;
        for (int i = 0; i < expected.size(); ++i) {
            chain << next->objectName();
            do
                next = next->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus);
        }
        QCOMPARE(chain, expected);

        const QStringList families = QFontDatabase::families();
        if (!families.contains(QStringLiteral("IPAPGothic"))
            || !families.contains(QStringLiteral("IPAGothic")))
            QSKIP("the Japanese substitute faces are not installed");
        QCOMPARE(QFontInfo(w.dataFileOpenButton->font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(QFontInfo(w.previewLines[0]->font()).family(), QStringLiteral("IPAGothic"));
        QVERIFY(QFontInfo(w.findChild<QLabel*>(QStringLiteral("Label5"))->font()).bold());
        QVERIFY(QFontInfo(w.statusBox->font()).bold());
        QVERIFY(QFontInfo(w.fileNameBoxes[0]->font()).italic());
        QCOMPARE(w.statusBox->palette().color(QPalette::Text), QColor(255, 0, 0));
    }

    void settingsFollowEveryKeystroke()
    {
        Form1& w = *m_window;
        settings::RunSettings& s = settings::runSettings();
        w.xColumnBox->setFocus();
        w.xColumnBox->selectAll();
        QTest::keyClick(w.xColumnBox, Qt::Key_Backspace);
        QCOMPARE(s.XColumn, 1);  // empty text reads 0, clamped to 1
        QTest::keyClick(w.xColumnBox, Qt::Key_1);
        QCOMPARE(s.XColumn, 1);
        QTest::keyClick(w.xColumnBox, Qt::Key_2);
        QCOMPARE(s.XColumn, 12);
        QTest::keyClick(w.xColumnBox, Qt::Key_Backspace);
        QCOMPARE(s.XColumn, 1);
        QTest::keyClick(w.xColumnBox, Qt::Key_Backspace);
        QCOMPARE(w.xColumnBox->text(), QString());
        QCOMPARE(s.XColumn, 1);

        w.yColumnBox->selectAll();
        QTest::keyClicks(w.yColumnBox, QStringLiteral("7"));
        QCOMPARE(s.YColumn, 7);
        w.skipLinesBox->selectAll();
        QTest::keyClicks(w.skipLinesBox, QStringLiteral("3"));
        QCOMPARE(s.SkipLines, 3);
        QTest::keyClicks(w.skipLinesBox, QStringLiteral("x"));
        QCOMPARE(s.SkipLines, 3);  // "3x" reads its leading number
        w.skipLinesBox->selectAll();
        QTest::keyClicks(w.skipLinesBox, QStringLiteral("abc"));
        QCOMPARE(s.SkipLines, 0);
        w.xCoefficientBox->selectAll();
        QTest::keyClicks(w.xCoefficientBox, QStringLiteral("2.5"));
        QCOMPARE(s.XCoefficient, 2.5f);
        w.yCoefficientBox->selectAll();
        QTest::keyClicks(w.yCoefficientBox, QStringLiteral("-0.25"));
        QCOMPARE(s.YCoefficient, -0.25f);
        // A value single precision cannot hold leaves the field at its last value.
        w.yCoefficientBox->setText(QStringLiteral("1e39"));
        QCOMPARE(s.YCoefficient, -0.25f);
    }

    void checkBoxAndOptionButtons()
    {
        Form1& w = *m_window;
        settings::RunSettings& s = settings::runSettings();
        QTest::mouseClick(w.keepWorkingFilesBox, Qt::LeftButton);
        QVERIFY(w.keepWorkingFilesBox->isChecked());
        QCOMPARE(s.KeepWorkingFiles, 1);
        // A second click cannot untick it: the working files stay kept for the session.
        QTest::mouseClick(w.keepWorkingFilesBox, Qt::LeftButton);
        QVERIFY(w.keepWorkingFilesBox->isChecked());
        QCOMPARE(s.KeepWorkingFiles, 1);
        QVERIFY(w.keepWorkingFilesBox->toolTip().contains(
            QStringLiteral("until the program is started again")));

        QTest::mouseClick(w.oneFileOption, Qt::LeftButton);
        QCOMPARE(s.OutputMode, 2);
        QVERIFY(!w.twoFilesOption->isChecked());
        QTest::mouseClick(w.twoFilesOption, Qt::LeftButton);
        QCOMPARE(s.OutputMode, 1);

        // A new window starts from the defaults again.
        m_window = std::make_unique<Form1>();
        QCOMPARE(s.KeepWorkingFiles, 0);
        QCOMPARE(s.OutputMode, 1);
    }

    void dataFileOpenSequence()
    {
        Form1& w = *m_window;
        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QVERIFY(m_statuses.isEmpty());  // "Start" can't be pressed before the chooser

        w.statusBox->setText(QStringLiteral("old status"));
        for (QLineEdit* box : w.fileNameBoxes)
            box->setText(QStringLiteral("old name"));
        bool shown = false;
        w.showChooser = [&](frmOpenSave& chooser) {
            shown = true;
            QCOMPARE(chooser.windowTitle(), QStringLiteral("Data File Open"));
            QCOMPARE(chooser.fileNameBox->text(), QStringLiteral("*.prn"));
            QCOMPARE(chooser.fileNameBox->selectionStart(), 0);
            QCOMPARE(chooser.fileNameBox->selectedText(), QStringLiteral("*.prn"));
            // Status and names are emptied before the chooser shows; "Start" waits for it.
            QVERIFY(w.statusBox->text().isEmpty());
            for (QLineEdit* box : w.fileNameBoxes)
                QVERIFY(box->text().isEmpty());
            QVERIFY(!w.startButton->isEnabled());
            chooser.reject();
        };
        QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
        QVERIFY(shown);
        QVERIFY(w.startButton->isEnabled());
    }

    void cancelledChooserKeepsPreviewAndClearsPicture()
    {
        Form1& w = *m_window;
        const QString path = m_dir->filePath(QStringLiteral("kept.prn"));
        writeText(path, "first line\r\nsecond line\r\n");
        w.showChooser = picking(path);
        w.dataFileOpenButton->click();
        QCOMPARE(w.previewLines[0]->text(), QStringLiteral("first line"));
        QCOMPARE(w.previewLines[1]->text(), QStringLiteral("second line"));

        w.pictureBox->line(0, 0, 200, 200, QColor(255, 0, 0));
        w.statusBox->setText(QStringLiteral("Finish"));
        w.fileNameBoxes[1]->setText(QStringLiteral("name"));
        w.showChooser = cancelling;
        w.dataFileOpenButton->click();
        QCOMPARE(w.previewLines[0]->text(), QStringLiteral("first line"));
        QCOMPARE(w.previewLines[1]->text(), QStringLiteral("second line"));
        QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(path).toStdString());
        QVERIFY(w.statusBox->text().isEmpty());
        // The name box shows the file that "Start" will run; the output names wait for it.
        QCOMPARE(w.fileNameBoxes[0]->text(), path);
        QVERIFY(w.fileNameBoxes[1]->text().isEmpty());
        QCOMPARE(countRed(w.pictureBox->picture()), 0);
        QVERIFY(w.startButton->isEnabled());
    }

    // A path longer than its box shows its end, the file name, after the chooser and after a
    // run alike, with the whole path as the tooltip.
    void longPathsShowTheirFileName()
    {
        Form1& w = *m_window;
        const QString folder = m_dir->filePath(QString(60, u'f'));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/specimen_07.prn");
        writeCyclicRecord(path, 50);
        w.showChooser = picking(path);
        w.dataFileOpenButton->click();
        // The box scrolls as it paints: ask where the end is once it has been drawn.
        const auto endShown = [](QLineEdit* box) {
            box->grab();
            const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            return box->cursorPosition() == box->text().size()
                && box->rect().contains(cursor.topLeft())
                && box->fontMetrics().horizontalAdvance(box->text()) > box->width();
        };
        QVERIFY(endShown(w.fileNameBoxes[0]));
        QCOMPARE(w.fileNameBoxes[0]->toolTip(), path);
        w.skipLinesBox->setText(QStringLiteral("1"));
        w.startButton->click();
        QCOMPARE(m_statuses, kFinishedRun);
        for (QLineEdit* box : { w.fileNameBoxes[0], w.fileNameBoxes[1], w.fileNameBoxes[2] })
            QVERIFY2(endShown(box), qPrintable(box->text()));
        QCOMPARE(w.fileNameBoxes[2]->toolTip(), path.chopped(3) + "vnn");
    }

    // A box whose text is not a plain number is tinted and says what it is read as, in its
    // tooltip and in the note above the controls; the setting still follows the boxes' rule.
    void settingsBoxesHintHowTheyAreRead_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("hint");

        const struct
        {
            const char* row;
            const char* box;
            const char* text;
            double value;
            const char* hint;
        } rows[] = {
            { "letters", "Text7", "d", 0.0, "read as 0" },
            { "trailing letters", "Text4", "12abc", 12.0, "read as 12" },
            { "empty column", "Text5", "", 1.0, "read as 1" },
            { "decimal comma", "Text6", "1,5", 1.0, "read as 1" },
            { "plain with blanks", "Text10", " 3 ", 3.0, "" },
            { "plain exponent", "Text7", "-2.5E-1", -0.25, "" },
            // Typed key by key: "1e3" was held, "1e39" cannot be and leaves it.
            { "not held", "Text6", "1e39", 1000.0, "Too large" },
        };

        for (const auto& r : rows)
            QTest::newRow(r.row) << QString::fromLatin1(r.box) << QString::fromLatin1(r.text)
                                 << r.value << QString::fromLatin1(r.hint);
    }

    void settingsBoxesHintHowTheyAreRead()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, hint);
        Form1& w = *m_window;
        auto* edit = w.findChild<QLineEdit*>(box);
        QVERIFY(edit);
        const QColor plainBase = edit->palette().color(QPalette::Base);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        const settings::RunSettings& s = settings::runSettings();
        const double fields[] = { double(s.XColumn), double(s.YColumn), double(s.XCoefficient),
            double(s.YCoefficient), double(s.SkipLines) };
        const QStringList names = { "Text4", "Text5", "Text6", "Text7", "Text10" };
        QCOMPARE(fields[names.indexOf(box)], value);
        QCOMPARE(
            edit->toolTip().contains(hint) && edit->toolTip().isEmpty() == hint.isEmpty(), true);
        QCOMPARE(edit->palette().color(QPalette::Base) != plainBase, !hint.isEmpty());
        auto* note = w.findChild<QLabel*>(QStringLiteral("readingNote"));
        QVERIFY(note);
        QCOMPARE(note->isVisible(), !hint.isEmpty());
        if (hint.startsWith(QStringLiteral("read as")))
            QVERIFY2(note->text().contains(QStringLiteral("\u201c%1\u201d %2").arg(text, hint)),
                qPrintable(note->text()));
        // Clear of every control of the layout.
        for (QWidget* control : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(control == note || !control->geometry().intersects(note->geometry()),
                qPrintable(control->objectName()));
        // A plain number again takes the hint away.
        edit->setText(QStringLiteral("2"));
        QVERIFY(edit->toolTip().isEmpty());
        QCOMPARE(edit->palette().color(QPalette::Base), plainBase);
        QVERIFY(!note->isVisible());
    }

    void completeRunInBothOutputModes()
    {
        Form1& w = *m_window;
        const QString path = chooseCyclicRecord("cycles.prn");
        const QString base = path.left(path.size() - 3);
        QCOMPARE(w.previewLines[0]->text(), QStringLiteral("no.  deformation  load"));

        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        QVERIFY(m_presenter.messages.isEmpty());
        QCOMPARE(w.fileNameBoxes[0]->text(), path);
        QCOMPARE(w.fileNameBoxes[1]->text(), base + "vnp");
        QCOMPARE(w.fileNameBoxes[2]->text(), base + "vnn");
        QCOMPARE(filesIn(m_dir->path()), QStringList({ "cycles.prn", "cycles.vnn", "cycles.vnp" }));
        QVERIFY(readAll(base + "vnp").startsWith(" X-axis        Y-axis\r\n"));
        QVERIFY(readAll(base + "vnn").startsWith(" X-axis        Y-axis\r\n"));
        // The record in group colours, red crossings and the red curve.
        const QImage picture = w.pictureBox->picture();
        QVERIFY(countRed(picture) > 300);
        QVERIFY(countGroupColoured(picture) > 300);

        m_statuses.clear();
        QTest::mouseClick(w.oneFileOption, Qt::LeftButton);
        w.startButton->click();
        QCOMPARE(m_statuses, kFinishedRun);
        QCOMPARE(w.fileNameBoxes[1]->text(), base + "vnl");
        QCOMPARE(
            w.fileNameBoxes[2]->text(), base + "vnn");  // one output file: the box keeps its text
        QCOMPARE(filesIn(m_dir->path()), QStringList({ "cycles.prn", "cycles.vnl" }));
        QVERIFY(readAll(base + "vnl").startsWith(" X-axis        Y-axis\r\n"));

        // Keeping the working files, by the box, in a window that runs on.
        m_statuses.clear();
        QTest::mouseClick(w.keepWorkingFilesBox, Qt::LeftButton);
        w.startButton->click();
        QCOMPARE(m_statuses, kFinishedRun);
        QCOMPARE(filesIn(m_dir->path()),
            QStringList({ "cycles.bu0", "cycles.buf", "cycles.prn", "cycles.vnl", "cycles.vnn",
                "cycles.vnp" }));
    }

    // The example record through the real chooser and the boxes, as a user runs it: the
    // window's run writes the same curve files as the headless one.
    void exampleRunThroughTheRealChooser()
    {
        Form1& w = *m_window;
        const QString path = m_dir->filePath(QStringLiteral("cyclic_wall.prn"));
        QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), path));
        bool accepted = false;
        w.showChooser = [&](frmOpenSave& chooser) {
            chooser.fileNameBox->setText(path);
            QTest::mouseClick(chooser.okButton, Qt::LeftButton);
            accepted = chooser.result() == QDialog::Accepted;
        };
        QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
        QVERIFY(accepted);
        QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(path).toStdString());
        QCOMPARE(w.previewLines[0]->text(),
            QStringLiteral("Synthetic cyclic record: 6 levels x 3 cycles, 1500 samples, seed 7"));
        QCOMPARE(w.previewLines[2]->text(), QStringLiteral("0.00 0.0831439 0.0124803"));
        QCOMPARE(w.previewLines[0]->cursorPosition(), 0);  // a long line shows from its start
        for (QLineEdit* box : { w.xColumnBox, w.yColumnBox, w.skipLinesBox })
            box->selectAll();
        QTest::keyClicks(w.xColumnBox, QStringLiteral("2"));
        QTest::keyClicks(w.yColumnBox, QStringLiteral("3"));
        QTest::keyClicks(w.skipLinesBox, QStringLiteral("2"));

        QTest::mouseClick(w.startButton, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
        QVERIFY(m_presenter.messages.empty());
        for (const char* name : { "cyclic_wall.vnp", "cyclic_wall.vnn" }) {
            const QByteArray golden =
                readAll(QStringLiteral(TEST_DATA_DIR "/examples/cyclic_wall_two_files/") + name);
            QVERIFY(!golden.isEmpty());
            QVERIFY2(readAll(m_dir->filePath(QString::fromLatin1(name))) == golden, name);
        }
        QTest::qWait(50);
        saveScreenshot(w, QStringLiteral("main_window_after_example_run.png"));
    }

    void errorMessages_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("vnpIsFolder");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail");  // what the second line says beside the file
        QTest::newRow("output file")
            << QByteArray("1 1\r\n2 2\r\n3 3\r\n") << true
            << outputFileText(run::FailureCode::PathFileAccessError) << "bad.vnp";
        QTest::newRow("data") << QByteArray("1 1\r\n2 NaN\r\n3 3\r\n") << false
                              << dataErrorText(run::FailureCode::TypeMismatch)
                              << "line 2, column 2: \"NaN\"";
        // 1 and 1.0000000000000002 differ only beyond 15 significant digits: the point file
        // writes both as 1, so prepared points 2 and 3 share an X.
        QTest::newRow("same x") << QByteArray("0.5 1\r\n1 2\r\n1.0000000000000002 3\r\n2 4\r\n")
                                << false << sameXText(3) << "";
    }

    void errorMessages()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, vnpIsFolder);
        QFETCH(QString, message);
        QFETCH(QString, detail);
        Form1& w = *m_window;
        const QString path = m_dir->filePath(QStringLiteral("bad.prn"));
        writeText(path, data);
        if (vnpIsFolder)
            QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bad.vnp")));
        w.showChooser = picking(path);
        w.dataFileOpenButton->click();
        w.startButton->click();
        QCOMPARE(m_presenter.messages.size(), 1);
        QCOMPARE(m_presenter.messages[0].title, QStringLiteral("Error"));
        QCOMPARE(m_presenter.messages[0].text, message);
        const QString shown = m_presenter.messages[0].detail;
        QVERIFY2(shown.startsWith(path + ": ") && shown.contains(detail), qPrintable(shown));
        QVERIFY(w.statusBox->text().isEmpty());
        QVERIFY(!m_statuses.contains(QStringLiteral("Finish")));
        QCOMPARE(w.fileNameBoxes[0]->text(), path);
        QVERIFY(w.startButton->isEnabled());
        QVERIFY(!w.runInProgress());
    }

    void endingDuringARun_data()
    {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("Exit") << false;
        QTest::newRow("close box") << true;
    }

    // The run stops at its next yield (its files closed), then the program ends.
    void endingDuringARun()
    {
        QFETCH(bool, byClosing);
        Form1& w = *m_window;
        const QString path = chooseCyclicRecord("stop.prn");
        w.yieldInterval = std::chrono::milliseconds(0);  // every yield processes the click
        int endedWhileRunning = -1;
        connect(w.statusBox, &QLineEdit::textChanged, this, [&](const QString& text) {
            if (text != QStringLiteral("Cross checking..."))
                return;
            QTimer::singleShot(0, &w, [&] {
                QVERIFY(w.runInProgress());
                if (byClosing)
                    w.close();
                else
                    QTest::mouseClick(w.exitButton, Qt::LeftButton);
                endedWhileRunning = m_ended;
            });
        });
        w.startButton->click();
        QCOMPARE(endedWhileRunning, 0);  // nothing ended before the run had unwound
        QCOMPARE(m_ended, 1);
        QVERIFY(!w.runInProgress());
        QVERIFY(!w.isVisible());
        QVERIFY(!m_statuses.contains(QStringLiteral("Varnel creating...")));
        QVERIFY(m_presenter.messages.empty());
        // The curve construction never ran: the probe's line is all the curve file holds.
        QCOMPARE(
            readAll(m_dir->filePath(QStringLiteral("stop.vnp"))), QByteArray("Test output\r\n"));
    }

    // The intervals are far from the time the steps take, so that a loaded machine cannot
    // change the outcome: an hour never passes between two yields, a sleep always outlasts 1 ms.
    void yieldSkipsEventsWithinTheInterval()
    {
        int fired = 0;
        const auto post = [&] { QTimer::singleShot(0, m_window.get(), [&] { ++fired; }); };
        GuiRunHost hourly(*m_window, std::chrono::hours(1));
        post();
        QVERIFY(hourly.yield());
        QCOMPARE(fired, 1);
        post();
        QVERIFY(hourly.yield());
        QCOMPARE(fired, 1);  // too soon after the last time
        GuiRunHost quick(*m_window, std::chrono::milliseconds(1));
        QVERIFY(quick.yield());
        QCOMPARE(fired, 2);
        post();
        QTest::qSleep(5);
        QVERIFY(quick.yield());
        QCOMPARE(fired, 3);
    }

    // Each status is painted, however soon its phase ends: the yield after a status change is
    // never skipped, even where the interval skips every other one.
    void everyStatusIsPainted()
    {
        Form1& w = *m_window;
        const QString path = chooseCyclicRecord("paint.prn");
        w.yieldInterval = std::chrono::hours(1);
        PaintedTexts painted(*w.statusBox);
        w.startButton->click();
        QCOMPARE(m_statuses, kFinishedRun);
        QTRY_VERIFY(painted.texts.contains(QStringLiteral("Finish")));
        painted.texts.removeAll(QString());
        painted.texts.removeDuplicates();
        QCOMPARE(painted.texts, kFinishedRun);
    }

    void exitWithoutARunEndsAtOnce()
    {
        QTest::mouseClick(m_window->exitButton, Qt::LeftButton);
        QCOMPARE(m_ended, 1);
    }

    // A second "Start" is ignored; a chooser opened meanwhile previews its file and leaves
    // the run's status, names and picture alone.
    void droppedFileIsChosenAsInTheChooser()
    {
        Form1& w = *m_window;
        const QString path = m_dir->filePath(QStringLiteral("dropped.prn"));
        writeText(path, "first line\r\nsecond line\r\n");
        w.statusBox->setText(QStringLiteral("Finish"));
        for (QLineEdit* box : w.fileNameBoxes)
            box->setText(QStringLiteral("old name"));
        w.pictureBox->setWindow(0, 1, 1, 0);
        w.pictureBox->line(0, 0, 1, 1, QColor(255, 0, 0));
        QVERIFY(countRed(w.pictureBox->picture()) > 0);
        dropUrls(w, { QUrl::fromLocalFile(path) });
        QVERIFY(m_presenter.messages.empty());
        QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(path).toStdString());
        QCOMPARE(w.previewLines[0]->text(), QStringLiteral("first line"));
        QCOMPARE(w.previewLines[1]->text(), QStringLiteral("second line"));
        QVERIFY(w.statusBox->text().isEmpty());
        QCOMPARE(w.fileNameBoxes[0]->text(), path);
        QVERIFY(w.fileNameBoxes[1]->text().isEmpty());
        QCOMPARE(countRed(w.pictureBox->picture()), 0);
        QVERIFY(w.startButton->isEnabled());
    }

    // A refused drop shows the warning the chooser shows for the same name and changes
    // nothing; a drop of several files or of a remote one takes none.
    void refusedDropsChangeNothing()
    {
        Form1& w = *m_window;
        const QString kept = m_dir->filePath(QStringLiteral("kept.prn"));
        writeText(kept, "kept line\r\n");
        const QString missing = m_dir->filePath(QStringLiteral("missing.prn"));
        const QString locked = m_dir->filePath(QStringLiteral("locked.prn"));
        writeText(locked, "secret\r\n");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        const bool canLock = ::geteuid() != 0;

        // What the real chooser says to these names typed into it.
        QStringList chooserSays;
        for (const QString& name : { missing, locked }) {
            m_presenter.messages.clear();
            w.showChooser = [&](frmOpenSave& chooser) {
                chooser.fileNameBox->setText(name);
                QTest::mouseClick(chooser.okButton, Qt::LeftButton);
                chooser.reject();
            };
            w.dataFileOpenButton->click();
            chooserSays << m_presenter.texts().value(0);
        }
        QVERIFY(!chooserSays[0].isEmpty());

        const struct
        {
            QList<QUrl> urls;
            QString warning;
        } drops[] = {
            { { QUrl::fromLocalFile(missing) }, chooserSays[0] },
            { { QUrl::fromLocalFile(m_dir->path()) }, chooserSays[0] },
            { { QUrl::fromLocalFile(locked) }, canLock ? chooserSays[1] : QString() },
            { { QUrl::fromLocalFile(kept), QUrl::fromLocalFile(kept) }, {} },
            { { QUrl(QStringLiteral("https://example.org/a.prn")) }, {} },
        };

        for (const auto& drop : drops) {
            if (drop.urls.first() == QUrl::fromLocalFile(locked) && !canLock)
                continue;
            Form1& fresh = w;
            fresh.showChooser = picking(kept);
            fresh.dataFileOpenButton->click();
            m_presenter.messages.clear();
            fresh.statusBox->setText(QStringLiteral("Finish"));
            fresh.startButton->setEnabled(false);
            fresh.pictureBox->setWindow(0, 1, 1, 0);
            fresh.pictureBox->line(0, 0, 1, 1, QColor(255, 0, 0));
            dropUrls(fresh, drop.urls);
            QCOMPARE(m_presenter.messages.size(), 1);
            if (!drop.warning.isEmpty())
                QCOMPARE(m_presenter.messages.first().text, drop.warning);
            QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(kept).toStdString());
            QCOMPARE(fresh.previewLines[0]->text(), QStringLiteral("kept line"));
            QCOMPARE(fresh.statusBox->text(), QStringLiteral("Finish"));
            QCOMPARE(fresh.fileNameBoxes[0]->text(), kept);
            QVERIFY(countRed(fresh.pictureBox->picture()) > 0);
            QVERIFY(!fresh.startButton->isEnabled());
        }
    }

    void clicksDuringARun()
    {
        Form1& w = *m_window;
        const QString path = chooseCyclicRecord("busy.prn");
        const QString other = m_dir->filePath(QStringLiteral("other.prn"));
        writeText(other, "another file\r\n");
        w.yieldInterval = std::chrono::milliseconds(0);
        bool clicked = false;
        connect(w.statusBox, &QLineEdit::textChanged, this, [&](const QString& text) {
            if (text != QStringLiteral("Cross checking..."))
                return;
            QTimer::singleShot(0, &w, [&] {
                clicked = true;
                QTest::mouseClick(w.startButton, Qt::LeftButton);
                w.showChooser = picking(other);
                QTest::mouseClick(w.dataFileOpenButton, Qt::LeftButton);
            });
        });
        w.startButton->click();
        QVERIFY(clicked);
        QCOMPARE(m_statuses, kFinishedRun);
        QCOMPARE(w.fileNameBoxes[0]->text(), path);
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("busy.vnp"))));
        QVERIFY(countRed(w.pictureBox->picture()) > 300);
        QCOMPARE(w.previewLines[0]->text(), QStringLiteral("another file"));
        QCOMPARE(settings::runSettings().DataFilePath, QFile::encodeName(other).toStdString());
    }

    // A second click on "Start" during a run starts nothing, whether it is pressed during the run
    // and released after it, or comes in while the run is past its last yield: one run, once.
    void startClickedDuringARunStartsNoOther()
    {
        Form1& w = *m_window;
        chooseCyclicRecord("once.prn");
        QPushButton* start = w.startButton;
        const QPoint middle = start->rect().center();
        const auto post = [&](QEvent::Type type) {
            QCoreApplication::postEvent(start,
                new QMouseEvent(type, middle, start->mapToGlobal(middle), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier));
        };
        for (const bool releasedAfter : { true, false }) {
            m_statuses.clear();
            auto during =
                connect(w.statusBox, &QLineEdit::textChanged, this, [&](const QString& text) {
                    if (releasedAfter && text == QStringLiteral("Cross checking..."))
                        QTest::mousePress(start, Qt::LeftButton, {}, middle);
                    if (!releasedAfter && text == QStringLiteral("Finish")) {
                        post(QEvent::MouseButtonPress);
                        post(QEvent::MouseButtonRelease);
                    }
                });
            start->click();
            disconnect(during);
            if (releasedAfter)
                QTest::mouseRelease(start, Qt::LeftButton, {}, middle);
            QCoreApplication::processEvents();
            QVERIFY(!w.runInProgress());
            QCOMPARE(m_statuses, kFinishedRun);
        }
        // The next click is a click again.
        m_statuses.clear();
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(m_statuses, kFinishedRun);
    }

private:
    // Writes a cyclic record under `name`, chooses it as the chooser would and sets the boxes
    // for its columns (X 2, Y 3, one header line).
    QString chooseCyclicRecord(const char* name)
    {
        Form1& w = *m_window;
        const QString path = m_dir->filePath(QString::fromLatin1(name));
        writeCyclicRecord(path);
        w.showChooser = picking(path);
        w.dataFileOpenButton->click();
        w.skipLinesBox->setText(QStringLiteral("1"));
        w.xColumnBox->setText(QStringLiteral("2"));
        w.yColumnBox->setText(QStringLiteral("3"));
        return path;
    }

    RecordingPresenter m_presenter;
    QString m_startFolder;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_window;
    QStringList m_statuses;
    int m_ended = 0;
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
