#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/common/message_presenter.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/file_chooser/file_system.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using ui::FolderList;
using ui::frmOpenSave;
using ui::ListEvent;
using ui::PreviewTarget;
using ui::setPreviewTarget;
namespace file_system = ui::file_system;

namespace {

class RecordingPreview : public PreviewTarget
{
public:
    QStringList lines;

    void setPreviewLine(int, const QString& text) override
    {
        lines.append(text);
    }
};

// What the handlers saw when they started, in the order they ran.
struct ChainLog
{
    QStringList events;  // "name>" on entry, "name<" on exit
    QStringList labelAtEntry;
    QStringList folderAtEntry;  // the process's current folder

    void wrap(frmOpenSave* dialog, ListEvent& event, const QString& name)
    {
        ListEvent inner = event;
        event = [this, dialog, inner, name] {
            events.append(name + u'>');
            labelAtEntry.append(dialog->folderPathLabel->text());
            folderAtEntry.append(QDir::currentPath());
            inner();
            events.append(name + u'<');
        };
    }

    void wrapAll(frmOpenSave* dialog)
    {
        wrap(dialog, dialog->driveList->Change, QStringLiteral("drv"));
        wrap(dialog, dialog->folderList->Change, QStringLiteral("dir"));
        wrap(dialog, dialog->fileList->PathChange, QStringLiteral("path"));
        wrap(dialog, dialog->fileList->PatternChange, QStringLiteral("pattern"));
    }
};

// Runs a stretch of a test with another effective user, so that permission bits bite even
// when the suite runs as root.
class EffectiveUser
{
public:
    explicit EffectiveUser(uid_t uid)
        : m_previous(geteuid())
        , m_ok(seteuid(uid) == 0)
    {
    }

    ~EffectiveUser()
    {
        if (m_ok && seteuid(m_previous) != 0)
            qFatal("cannot restore the effective user");
    }

    bool ok() const
    {
        return m_ok;
    }

private:
    uid_t m_previous;
    bool m_ok;
};

std::string bytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

class tst_FileChooser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void testDesign();
    void testLoadListsTheCurrentFolder();
    void testOkEnabledOnlyByAChangedText();
    void testClickThenEnterChooses();
    void testDoubleClickChoosesAndPreviews();
    void testOtherCaptionSkipsThePreview();
    void testTypedFolder_data();
    void testTypedFolder();
    void testTypedPattern_data();
    void testTypedPattern();
    void testTypedExistingFile_data();
    void testTypedExistingFile();
    void testTypedMissingName_data();
    void testTypedMissingName();
    void testSearchFailureShowsItsDescription();
    void testFolderChainOrder();
    void testDriveChainOrderAndDriveFolders();
    void testTypedFolderOnAnotherDriveEndsAtItsCurrentFolder();
    void testTypedFileOnAnotherDrive_data();
    void testTypedFileOnAnotherDrive();
    void testSeparatorRule_data();
    void testSeparatorRule();
    void testCancelEscAndCloseChangeNothing();
    void testReopensInTheFolderLastShown();
    void testFolderRemovedWhileShown();
    void testUnreadableFolderAndFile();
    void testDriveGoneWhileShown();
    void testPatternMatching_data();
    void testPatternMatching();
    void testScreenshot();

private:
    std::unique_ptr<frmOpenSave> open(const QString& caption = QStringLiteral("Data File Open"));
    QString path(const QString& relative) const;
    QStringList files(const frmOpenSave& dialog) const;
    void type(frmOpenSave& dialog, const QString& text);
    void clickFile(frmOpenSave& dialog, const QString& name, bool twice = false);
    void openFolder(frmOpenSave& dialog, const QString& folder);
    void useTestDrives();

    QString m_startFolder;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;  // the tree's top, made the process's current folder
    RecordingPresenter m_presenter;
    RecordingPreview m_preview;
};

void tst_FileChooser::initTestCase()
{
    m_startFolder = QDir::currentPath();
    ui::setMessagePresenter(&m_presenter);
    setPreviewTarget(&m_preview);
}

void tst_FileChooser::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = QDir(m_dir->path()).canonicalPath();
    QDir root(m_root);
    for (const char* folder : { "sub/deeper", "alpha", "folder.prn", ".hiddendir", "d1/x", "d2/y" })
        QVERIFY(root.mkpath(QString::fromUtf8(folder)));
    const QList<QPair<const char*, QByteArray>> fileContents = {
        { "data1.prn", "X-axis Y-axis\r\n1 2\r\n" }, { "data2.prn", "3 4\r\n" },
        { "UPPER.PRN", "5 6\r\n" }, { "試験1.prn", "7 8\r\n" }, { "notes.txt", "text\r\n" },
        { "table.csv", "1,2\r\n" }, { ".hidden.prn", "h\r\n" }, { "sub/inner.prn", "in\r\n" },
        { "sub/inner.txt", "in\r\n" }, { "d1/top.prn", "top\r\n" }, { "d2/y/far.prn", "far\r\n" }
    };
    for (const auto& [name, content] : fileContents)
        writeText(root.filePath(QString::fromUtf8(name)), content);
    QCOMPARE(
        mkfifo(QFile::encodeName(root.filePath(QStringLiteral("pipe.prn"))).constData(), 0644), 0);
    QVERIFY(QDir::setCurrent(m_root));
    file_system::setDriveRootsForTesting(std::nullopt);
    settings::runSettings().DataFilePath = "kept.prn";
    m_presenter.messages.clear();
    m_preview.lines.clear();
}

void tst_FileChooser::cleanup()
{
    QDir::setCurrent(m_startFolder);
    file_system::setDriveRootsForTesting(std::nullopt);
    m_dir.reset();
}

// Opens the chooser as the main window does, but shown instead of run modally.
std::unique_ptr<frmOpenSave> tst_FileChooser::open(const QString& caption)
{
    auto dialog = std::make_unique<frmOpenSave>();
    dialog->setWindowTitle(caption);
    dialog->fileNameBox->setText(QStringLiteral("*.prn"));
    dialog->fileNameBox->setSelection(0, 5);
    dialog->show();
    return dialog;
}

QString tst_FileChooser::path(const QString& relative) const
{
    return relative.isEmpty() ? m_root : m_root + u'/' + relative;
}

QStringList tst_FileChooser::files(const frmOpenSave& dialog) const
{
    QStringList names;
    for (int index = 0; index < dialog.fileList->ListCount(); ++index)
        names.append(dialog.fileList->List(index));
    return names;
}

// Types `text`; a leading "@" stands for the tree's top, which data functions cannot know.
void tst_FileChooser::type(frmOpenSave& dialog, const QString& text)
{
    dialog.fileNameBox->selectAll();
    QTest::keyClick(dialog.fileNameBox, Qt::Key_Delete);
    QTest::keyClicks(dialog.fileNameBox, text.startsWith(u'@') ? m_root + text.mid(1) : text);
}

void tst_FileChooser::clickFile(frmOpenSave& dialog, const QString& name, bool twice)
{
    const QList<QListWidgetItem*> found = dialog.fileList->findItems(name, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(name));
    dialog.fileList->scrollToItem(found.first());
    const QPoint at = dialog.fileList->visualItemRect(found.first()).center();
    QWidget* viewport = dialog.fileList->viewport();
    // A double-click is a click followed by the second press.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
}

void tst_FileChooser::openFolder(frmOpenSave& dialog, const QString& folder)
{
    FolderList* list = dialog.folderList;
    for (int index = 0; index < list->count(); ++index) {
        if (list->folderAt(index) == folder) {
            list->scrollToItem(list->item(index));
            const QPoint at = list->visualItemRect(list->item(index)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no entry for %1").arg(folder)));
}

// Makes d1 and d2 of the tree drives of their own, beside "/", and starts in d1's root.
void tst_FileChooser::useTestDrives()
{
    file_system::setDriveRootsForTesting(QStringList {
        QStringLiteral("/"), path(QStringLiteral("d1")), path(QStringLiteral("d2")) });
    QVERIFY(QDir::setCurrent(path(QStringLiteral("d1"))));
}

void tst_FileChooser::testDesign()
{
    auto dialog = open();
    QCOMPARE(dialog->objectName(), QStringLiteral("frmOpenSave"));
    QCOMPARE(dialog->size(), QSize(384, 254));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(
        !(dialog->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
    QCOMPARE(dialog->palette().color(QPalette::Window), QColor(192, 192, 192));
    QVERIFY(!dialog->okButton->isEnabled());
    QVERIFY(!dialog->windowIcon().isNull());

    // Centred at load, when the frame the window system adds later is not yet known.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = dialog->frameGeometry();
    const QSize margins = frame.size() - dialog->size();
    QVERIFY(qAbs(frame.center().x() - screen.center().x()) <= 1 + margins.width() / 2);
    QVERIFY(qAbs(frame.center().y() - screen.center().y()) <= 1 + margins.height() / 2);

    const struct
    {
        const char* name;
        QString text;
        QRect twips;
    } controls[] = {
        { "lblOpenSave0", "File Name:", { 120, 120, 1455, 315 } },
        { "lblOpenSave1", "Folder:", { 2280, 720, 1455, 315 } },
        { "lblOpenSave2", m_root, { 2280, 480, 3375, 315 } },
        { "lblOpenSave3", "Drive:", { 2280, 120, 1455, 255 } },
        { "filOpenSave", {}, { 120, 720, 2055, 2820 } },
        { "dirOpenSave", {}, { 2280, 960, 3375, 2280 } },
        { "txtOpenSave", "*.prn", { 120, 360, 2055, 315 } },
        { "drvOpenSave", {}, { 2280, 360, 3375, 315 } },
        { "cmdOpenSave0", "OK", { 2640, 3360, 1095, 375 } },
        { "cmdOpenSave1", "Cancel", { 4200, 3360, 1095, 375 } },
    };

    for (const auto& control : controls) {
        auto* widget = dialog->findChild<QWidget*>(QString::fromLatin1(control.name));
        QVERIFY2(widget, control.name);
        const QRect& t = control.twips;
        QCOMPARE(
            widget->geometry(), QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15));
        QCOMPARE(widget->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(
            widget->font().pointSizeF(), control.name == QByteArray("lblOpenSave2") ? 9.0 : 9.75);
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), control.text);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), control.text);
    }
    // The face asked for is found through its substitute, so Japanese text renders.
    QCOMPARE(QFontInfo(dialog->fileNameBox->font()).family(), QStringLiteral("IPAPGothic"));
    QVERIFY(dialog->driveList->geometry().intersects(dialog->folderPathLabel->geometry()));
    QVERIFY(dialog->children().indexOf(dialog->driveList)
        > dialog->children().indexOf(dialog->folderPathLabel));

    // The file list has the focus at first; labels never take it, and Tab walks the working
    // controls in their tab order ("OK" once it is enabled).
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QCOMPARE(QApplication::focusWidget(), dialog->fileList);
    dialog->fileNameBox->setText(QStringLiteral("x"));
    const QList<QWidget*> order = { dialog->folderList, dialog->fileNameBox, dialog->driveList,
        dialog->okButton, dialog->cancelButton, dialog->fileList };
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    QCOMPARE(labels.size(), 4);
    for (QLabel* label : labels)
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QVERIFY(dialog->okButton->isDefault());
}

void tst_FileChooser::testLoadListsTheCurrentFolder()
{
    frmOpenSave dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("File"));
    QCOMPARE(dialog.fileNameBox->text(), QStringLiteral("*.prn"));
    QCOMPARE(dialog.fileList->Pattern(), QStringLiteral("*.prn"));
    QCOMPARE(dialog.fileList->Path(), m_root);
    QCOMPARE(dialog.folderList->Path(), m_root);
    QCOMPARE(dialog.folderPathLabel->text(), m_root);
    QCOMPARE(dialog.driveList->Drive(), file_system::driveOf(m_root));
    QCOMPARE(
        dialog.driveList->currentText(), file_system::displayName(file_system::driveOf(m_root)));
    // Normal files only: no hidden file, no folder, no pipe, whatever they are called.
    QCOMPARE(files(dialog),
        (QStringList { "data1.prn", "data2.prn", "UPPER.PRN", QString::fromUtf8("試験1.prn") }));
    QCOMPARE(dialog.fileList->ListIndex(), -1);

    // The folder list: the ancestors down to the shown folder, then its visible subfolders.
    QStringList folders;
    for (int index = 0; index < dialog.folderList->count(); ++index)
        folders.append(dialog.folderList->folderAt(index));
    QCOMPARE(folders.first(), QStringLiteral("/"));
    const qsizetype shown = folders.indexOf(m_root);
    QVERIFY(shown > 0);
    QCOMPARE(folders.mid(shown + 1),
        (QStringList { path("alpha"), path("d1"), path("d2"), path("folder.prn"), path("sub") }));
    QCOMPARE(dialog.folderList->currentRow(), shown);
    QVERIFY(m_presenter.messages.isEmpty());
}

void tst_FileChooser::testOkEnabledOnlyByAChangedText()
{
    auto dialog = open();
    // Enter right after opening does nothing while "OK" is disabled.
    QTest::keyClick(dialog->fileList, Qt::Key_Return);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->okButton->isEnabled());

    // The comparison is with the literal "*.prn", not with the pattern, and is exact.
    dialog->fileNameBox->setText(QStringLiteral("*.prn"));
    QVERIFY(!dialog->okButton->isEnabled());
    dialog->fileNameBox->setText(QStringLiteral("*.PRN"));
    QVERIFY(dialog->okButton->isEnabled());

    // Choosing another folder resets the box to the pattern; "OK" stays enabled.
    openFolder(*dialog, path("sub"));
    QCOMPARE(dialog->fileNameBox->text(), QStringLiteral("*.prn"));
    QVERIFY(dialog->okButton->isEnabled());

    // A fresh dialog starts disabled again, even after a reset to another pattern.
    dialog.reset();
    dialog = open();
    QVERIFY(!dialog->okButton->isEnabled());
    dialog->fileList->setPattern(QStringLiteral("*.txt"));
    dialog->fileList->setPath(path("alpha"));
    QCOMPARE(dialog->fileNameBox->text(), QStringLiteral("*.txt"));
    QVERIFY(dialog->okButton->isEnabled());
}

void tst_FileChooser::testClickThenEnterChooses()
{
    auto dialog = open();
    clickFile(*dialog, QStringLiteral("data2.prn"));
    QCOMPARE(dialog->fileList->ListIndex(), 1);
    QCOMPARE(dialog->fileNameBox->text(), QStringLiteral("data2.prn"));
    QVERIFY(dialog->okButton->isEnabled());
    QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));

    QTest::keyClick(dialog->fileList, Qt::Key_Return);
    QCOMPARE(settings::runSettings().DataFilePath, bytes(path("data2.prn")));
    QCOMPARE(m_preview.lines, QStringList { "3 4" });
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void tst_FileChooser::testDoubleClickChoosesAndPreviews()
{
    auto dialog = open();
    clickFile(*dialog, QString::fromUtf8("試験1.prn"), true);
    QCOMPARE(settings::runSettings().DataFilePath, bytes(path(QString::fromUtf8("試験1.prn"))));
    QCOMPARE(m_preview.lines, QStringList { "7 8" });
    QVERIFY(!dialog->isVisible());
    QVERIFY(m_presenter.messages.isEmpty());
}

void tst_FileChooser::testOtherCaptionSkipsThePreview()
{
    auto dialog = open(QStringLiteral("File"));
    clickFile(*dialog, QStringLiteral("data1.prn"), true);
    QCOMPARE(settings::runSettings().DataFilePath, bytes(path("data1.prn")));
    QVERIFY(m_preview.lines.isEmpty());
    QVERIFY(!dialog->isVisible());
}

void tst_FileChooser::testTypedFolder_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative") << ""
                              << "sub"
                              << "sub";
    QTest::newRow("relative with slash") << ""
                                         << "sub/"
                                         << "sub";
    QTest::newRow("two levels") << ""
                                << "sub/deeper"
                                << "sub/deeper";
    QTest::newRow("absolute") << ""
                              << "@/sub/deeper"
                              << "sub/deeper";
    QTest::newRow("parent") << "sub"
                            << ".."
                            << "";
    QTest::newRow("folder named like a file") << ""
                                              << "folder.prn"
                                              << "folder.prn";
}

void tst_FileChooser::testTypedFolder()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QVERIFY(QDir::setCurrent(path(start)));
    auto dialog = open();
    dialog->fileList->setPattern(QStringLiteral("*.txt"));
    type(*dialog, typed);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    QVERIFY(dialog->isVisible());
    QVERIFY2(m_presenter.messages.isEmpty(),
        qPrintable(m_presenter.messages.value(0).text + dialog->fileNameBox->text()));
    QCOMPARE(dialog->fileList->Path(), path(expected));
    QCOMPARE(dialog->folderList->Path(), path(expected));
    QCOMPARE(dialog->folderPathLabel->text(), path(expected));
    QCOMPARE(QDir::currentPath(), path(expected));
    // Reset to the list's pattern, not to the design text.
    QCOMPARE(dialog->fileNameBox->text(), QStringLiteral("*.txt"));
    QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));
}

void tst_FileChooser::testTypedPattern_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("other extension")
        << "*.txt"
        << "" << QStringList { "notes.txt" } << "*.txt" << QStringList { "pattern>", "pattern<" };
    QTest::newRow("question mark") << "data?.prn"
                                   << "" << QStringList { "data1.prn", "data2.prn" } << "data?.prn"
                                   << QStringList { "pattern>", "pattern<" };
    QTest::newRow("everything") << "*"
                                << ""
                                << QStringList { "data1.prn", "data2.prn", "notes.txt", "table.csv",
                                       "UPPER.PRN", QString::fromUtf8("試験1.prn") }
                                << "*" << QStringList { "pattern>", "pattern<" };
    // The folder part moves the lists first, which resets the box; the pattern follows.
    QTest::newRow("folder and pattern")
        << "sub/*.txt"
        << "sub" << QStringList { "inner.txt" } << "*.prn"
        << QStringList { "path>", "dir>", "dir<", "path<", "pattern>", "pattern<" };
    // Nothing changes, so no event is raised at all.
    QTest::newRow("same folder, same pattern")
        << "./*.prn"
        << ""
        << QStringList { "data1.prn", "data2.prn", "UPPER.PRN", QString::fromUtf8("試験1.prn") }
        << "./*.prn" << QStringList {};
}

void tst_FileChooser::testTypedPattern()
{
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    QFETCH(QStringList, listed);
    QFETCH(QString, box);
    QFETCH(QStringList, events);
    auto dialog = open();
    ChainLog log;
    log.wrapAll(dialog.get());
    type(*dialog, typed);
    QTest::keyClick(dialog->fileNameBox, Qt::Key_Return);

    QVERIFY(dialog->isVisible());
    QVERIFY(m_presenter.messages.isEmpty());
    QCOMPARE(log.events, events);
    QCOMPARE(files(*dialog), listed);
    QCOMPARE(dialog->fileList->Path(), path(folder));
    QCOMPARE(dialog->folderList->Path(), path(folder));
    QCOMPARE(dialog->fileNameBox->text(), box);
    QVERIFY(dialog->okButton->isEnabled());
    QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));
}

void tst_FileChooser::testTypedExistingFile_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("shownAfter");
    QTest::newRow("in the shown folder") << "data1.prn"
                                         << "data1.prn"
                                         << "";
    QTest::newRow("not matching the pattern") << "notes.txt"
                                              << "notes.txt"
                                              << "";
    QTest::newRow("in a subfolder") << "sub/inner.prn"
                                    << "sub/inner.prn"
                                    << "sub";
    QTest::newRow("absolute") << "@/sub/inner.txt"
                              << "sub/inner.txt"
                              << "sub";
}

void tst_FileChooser::testTypedExistingFile()
{
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, shownAfter);
    auto dialog = open();
    type(*dialog, typed);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    QVERIFY(m_presenter.messages.isEmpty());
    QCOMPARE(settings::runSettings().DataFilePath, bytes(path(chosen)));
    QVERIFY(!m_preview.lines.isEmpty());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(QDir::currentPath(), path(shownAfter));
}

void tst_FileChooser::testTypedMissingName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("no such file") << "missing.prn";
    QTest::newRow("no such folder") << "nowhere/data1.prn";
    QTest::newRow("pattern in no folder") << "nowhere/*.prn";
    QTest::newRow("hidden file") << ".hidden.prn";
    QTest::newRow("pipe") << "pipe.prn";
    QTest::newRow("pattern matching nothing") << "*.xyz";
    QTest::newRow("empty") << "";
}

void tst_FileChooser::testTypedMissingName()
{
    QFETCH(QString, typed);
    auto dialog = open();
    dialog->fileNameBox->setText(QStringLiteral("x"));  // enables "OK" even for an empty text
    type(*dialog, typed);
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    QVERIFY(dialog->isVisible());
    QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));
    QVERIFY(m_preview.lines.isEmpty());
    QCOMPARE(QDir::currentPath(), m_root);
    QCOMPARE(dialog->folderList->Path(), m_root);
    QCOMPARE(dialog->fileList->Path(), m_root);
    QCOMPARE(dialog->fileNameBox->text(), typed);
    if (typed == QStringLiteral("*.xyz")) {
        // A pattern is taken by the list even when it matches nothing.
        QVERIFY(m_presenter.messages.isEmpty());
        QCOMPARE(dialog->fileList->ListCount(), 0);
        return;
    }
    QCOMPARE(dialog->fileList->Pattern(), QStringLiteral("*.prn"));
    QCOMPARE(m_presenter.messages.size(), 1);
    QCOMPARE(m_presenter.messages[0].title, QStringLiteral("Varnel"));
    QCOMPARE(m_presenter.messages[0].text, QString::fromUtf8("ファイルが存在しません。"));
}

void tst_FileChooser::testSearchFailureShowsItsDescription()
{
    auto dialog = open();
    type(*dialog, QString(300, u'x') + QStringLiteral(".prn"));
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_presenter.messages.size(), 1);
    QVERIFY2(m_presenter.messages[0].text.contains(QStringLiteral("File name too long")),
        qPrintable(m_presenter.messages[0].text));
    QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));
}

void tst_FileChooser::testFolderChainOrder()
{
    auto dialog = open();
    clickFile(*dialog, QStringLiteral("data1.prn"));
    ChainLog log;
    log.wrapAll(dialog.get());
    openFolder(*dialog, path("sub"));

    // The file list moves inside the folder list's handler, before the label and the current
    // folder follow; the drive list is already on this drive and raises nothing.
    QCOMPARE(log.events, (QStringList { "dir>", "path>", "path<", "dir<" }));
    QCOMPARE(log.labelAtEntry[1], m_root);
    QCOMPARE(log.folderAtEntry[1], m_root);
    QCOMPARE(dialog->folderPathLabel->text(), path("sub"));
    QCOMPARE(QDir::currentPath(), path("sub"));
    QCOMPARE(files(*dialog), QStringList { "inner.prn" });
    QCOMPARE(dialog->fileNameBox->text(), QStringLiteral("*.prn"));

    // Walking up through an ancestor works the same way.
    log.events.clear();
    openFolder(*dialog, m_root);
    QCOMPARE(log.events, (QStringList { "dir>", "path>", "path<", "dir<" }));
    QCOMPARE(QDir::currentPath(), m_root);
}

void tst_FileChooser::testDriveChainOrderAndDriveFolders()
{
    useTestDrives();
    auto dialog = open();
    QCOMPARE(dialog->driveList->currentText(), path("d1"));
    QCOMPARE(dialog->folderList->Path(), path("d1") + u'/');
    QCOMPARE(dialog->folderList->folderAt(0), path("d1") + u'/');
    ChainLog log;
    log.wrapAll(dialog.get());

    // Down one entry: from d1 to d2, a drive not used yet, so it shows its root.
    dialog->driveList->setFocus();
    QTest::keyClick(dialog->driveList, Qt::Key_Down);
    QCOMPARE(log.events, (QStringList { "drv>", "dir>", "path>", "path<", "dir<", "drv<" }));
    // The whole folder chain ran before the drive became current.
    QCOMPARE(log.folderAtEntry, QStringList(3, path("d1")));
    QCOMPARE(dialog->folderList->Path(), path("d2") + u'/');
    QCOMPARE(dialog->fileList->Path(), path("d2") + u'/');
    QCOMPARE(dialog->folderPathLabel->text(), path("d2") + u'/');
    QCOMPARE(QDir::currentPath(), path("d2"));

    // Each drive keeps its own current folder.
    openFolder(*dialog, path("d2/y"));
    QCOMPARE(QDir::currentPath(), path("d2/y"));
    QTest::keyClick(dialog->driveList, Qt::Key_Up);
    QCOMPARE(dialog->folderList->Path(), path("d1") + u'/');
    QCOMPARE(QDir::currentPath(), path("d1"));
    QTest::keyClick(dialog->driveList, Qt::Key_Down);
    QCOMPARE(dialog->folderList->Path(), path("d2/y"));
    QCOMPARE(files(*dialog), QStringList { "far.prn" });
    QCOMPARE(QDir::currentPath(), path("d2/y"));
    QVERIFY(m_presenter.messages.isEmpty());
}

void tst_FileChooser::testTypedFolderOnAnotherDriveEndsAtItsCurrentFolder()
{
    useTestDrives();
    auto dialog = open();
    ChainLog log;
    log.wrapAll(dialog.get());
    type(*dialog, path("d2/y"));
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);

    // The drive list moves first and takes the lists to d2's own current folder, its root;
    // the folder list then follows the file list's Path as it stands after that.
    QCOMPARE(log.events,
        (QStringList { "path>", "drv>", "dir>", "path>", "path<", "dir<", "drv<", "path<" }));
    QCOMPARE(dialog->fileList->Path(), path("d2") + u'/');
    QCOMPARE(dialog->folderList->Path(), path("d2") + u'/');
    QCOMPARE(QDir::currentPath(), path("d2"));
}

void tst_FileChooser::testTypedFileOnAnotherDrive_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("chosen");
    QTest::newRow("existing file") << "d2/y/far.prn" << true;
    QTest::newRow("missing file") << "d2/y/gone.prn" << false;
    QTest::newRow("missing folder") << "d2/nowhere/far.prn" << false;
}

// A full path on another drive is chosen as a name on the current drive would be, not
// mistaken for a namesake in the folder a drive change alone would land in.
void tst_FileChooser::testTypedFileOnAnotherDrive()
{
    QFETCH(QString, typed);
    QFETCH(bool, chosen);
    useTestDrives();
    QVERIFY(QFile(path("d2/far.prn")).open(QIODevice::WriteOnly));
    auto dialog = open();
    type(*dialog, path(typed));
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    if (chosen) {
        QVERIFY(m_presenter.messages.isEmpty());
        QCOMPARE(settings::runSettings().DataFilePath, bytes(path(typed)));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->driveList->currentText(), path("d2"));
        QCOMPARE(dialog->folderList->Path(), path("d2/y"));
        QCOMPARE(QDir::currentPath(), path("d2/y"));
        QCOMPARE(m_preview.lines, QStringList { "far" });
    } else {
        QCOMPARE(m_presenter.texts(), QStringList { QStringLiteral("ファイルが存在しません。") });
        QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->folderList->Path(), path("d1") + u'/');
    }
}

void tst_FileChooser::testSeparatorRule_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive root") << "d1"
                                << "top.prn"
                                << "d1/top.prn";
    QTest::newRow("folder") << "d2/y"
                            << "far.prn"
                            << "d2/y/far.prn";
}

void tst_FileChooser::testSeparatorRule()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    useTestDrives();
    QVERIFY(QDir::setCurrent(path(folder)));
    auto dialog = open();
    QCOMPARE(dialog->fileList->Path().endsWith(u'/'), folder == QStringLiteral("d1"));
    clickFile(*dialog, name, true);
    QCOMPARE(QString::fromStdString(settings::runSettings().DataFilePath), path(expected));
    QCOMPARE(file_system::joinPath(QStringLiteral("/"), name), u'/' + name);
}

void tst_FileChooser::testCancelEscAndCloseChangeNothing()
{
    settings::runSettings().DataFilePath.clear();
    const std::function<void(frmOpenSave&)> ways[] = {
        [](frmOpenSave& d) { QTest::mouseClick(d.cancelButton, Qt::LeftButton); },
        [](frmOpenSave& d) { QTest::keyClick(d.fileList, Qt::Key_Escape); },
        [](frmOpenSave& d) { d.close(); },
    };
    for (const auto& leave : ways) {
        auto dialog = open();
        clickFile(*dialog, QStringLiteral("data1.prn"));
        leave(*dialog);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(settings::runSettings().DataFilePath.empty());
        QVERIFY(m_preview.lines.isEmpty());
        QCOMPARE(QDir::currentPath(), m_root);
    }
}

void tst_FileChooser::testReopensInTheFolderLastShown()
{
    auto dialog = open();
    openFolder(*dialog, path("sub"));
    QTest::mouseClick(dialog->cancelButton, Qt::LeftButton);
    dialog.reset();

    dialog = open();
    QCOMPARE(dialog->folderList->Path(), path("sub"));
    QCOMPARE(dialog->fileList->Path(), path("sub"));
    QCOMPARE(dialog->folderPathLabel->text(), path("sub"));
    QCOMPARE(dialog->fileList->Pattern(), QStringLiteral("*.prn"));
    QVERIFY(!dialog->okButton->isEnabled());
    openFolder(*dialog, path("sub/deeper"));
    openFolder(*dialog, path("sub"));
    clickFile(*dialog, QStringLiteral("inner.prn"), true);
    dialog.reset();

    dialog = open();
    QCOMPARE(dialog->folderList->Path(), path("sub"));
}

void tst_FileChooser::testFolderRemovedWhileShown()
{
    auto dialog = open();
    QVERIFY(QDir(m_root).rmdir(QStringLiteral("alpha")));
    openFolder(*dialog, path("alpha"));

    QVERIFY(dialog->isVisible());
    QCOMPARE(m_presenter.messages.size(), 1);
    QCOMPARE(m_presenter.messages[0].title, QStringLiteral("Varnel"));
    QVERIFY2(m_presenter.messages[0].text.contains(path("alpha")),
        qPrintable(m_presenter.messages[0].text));
    QCOMPARE(dialog->folderList->Path(), m_root);
    QCOMPARE(dialog->fileList->Path(), m_root);
    QCOMPARE(QDir::currentPath(), m_root);

    // Still usable.
    openFolder(*dialog, path("sub"));
    QCOMPARE(dialog->fileList->Path(), path("sub"));
    QCOMPARE(m_presenter.messages.size(), 1);
}

void tst_FileChooser::testUnreadableFolderAndFile()
{
    QVERIFY(QDir(m_root).mkdir(QStringLiteral("locked")));
    QCOMPARE(chmod(QFile::encodeName(m_root).constData(), 0755), 0);
    QVERIFY(QFile::setPermissions(path("locked"), {}));
    QVERIFY(QFile::setPermissions(path("data2.prn"), {}));
    const auto restore = qScopeGuard([this] {
        QFile::setPermissions(
            path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    // Root reads through permission bits; nobody does not.
    std::unique_ptr<EffectiveUser> user;
    if (geteuid() == 0) {
        user = std::make_unique<EffectiveUser>(65534);
        if (!user->ok())
            QSKIP("cannot drop the effective user");
    }

    auto dialog = open();
    QVERIFY2(m_presenter.messages.isEmpty(), qPrintable(m_presenter.messages.value(0).text));
    openFolder(*dialog, path("locked"));
    QCOMPARE(m_presenter.messages.size(), 1);
    QVERIFY2(m_presenter.messages[0].text.contains(QStringLiteral("Permission denied")),
        qPrintable(m_presenter.messages[0].text));
    QCOMPARE(dialog->folderList->Path(), m_root);

    // Typed, the same folder reports the same failure instead of a missing file.
    type(*dialog, QStringLiteral("locked"));
    QTest::mouseClick(dialog->okButton, Qt::LeftButton);
    QCOMPARE(m_presenter.messages.size(), 2);
    QVERIFY(m_presenter.messages[1].text.contains(QStringLiteral("Permission denied")));

    // A listed file that cannot be read fails the choice before anything changes.
    clickFile(*dialog, QStringLiteral("data2.prn"), true);
    QCOMPARE(m_presenter.messages.size(), 3);
    QVERIFY2(m_presenter.messages[2].text.contains(path("data2.prn")),
        qPrintable(m_presenter.messages[2].text));
    QCOMPARE(settings::runSettings().DataFilePath, std::string("kept.prn"));
    QVERIFY(m_preview.lines.isEmpty());
    QVERIFY(dialog->isVisible());

    // And the dialog still chooses a readable file.
    clickFile(*dialog, QStringLiteral("data1.prn"), true);
    QCOMPARE(settings::runSettings().DataFilePath, bytes(path("data1.prn")));
    QCOMPARE(m_presenter.messages.size(), 3);
}

void tst_FileChooser::testDriveGoneWhileShown()
{
    useTestDrives();
    auto dialog = open();
    QVERIFY(QDir(path("d2")).removeRecursively());
    QTest::keyClick(dialog->driveList, Qt::Key_Down);

    QVERIFY(dialog->isVisible());
    QCOMPARE(m_presenter.messages.size(), 1);
    QVERIFY2(m_presenter.messages[0].text.contains(path("d2")),
        qPrintable(m_presenter.messages[0].text));
    // The drive list goes back to the drive of the folder still shown.
    QCOMPARE(dialog->driveList->currentText(), path("d1"));
    QCOMPARE(dialog->driveList->Drive().root, path("d1") + u'/');
    QCOMPARE(dialog->folderList->Path(), path("d1") + u'/');
    QCOMPARE(QDir::currentPath(), path("d1"));
}

void tst_FileChooser::testPatternMatching_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << "run1.prn"
                          << "*.prn" << true;
    QTest::newRow("letter case ignored") << "RUN1.PRN"
                                         << "*.prn" << true;
    QTest::newRow("other extension") << "run1.prn1"
                                     << "*.prn" << false;
    QTest::newRow("star matches nothing") << ".prn"
                                          << "*.prn" << true;
    QTest::newRow("question mark is one") << "run12.prn"
                                          << "run?.prn" << false;
    QTest::newRow("question marks") << "run12.prn"
                                    << "run??.prn" << true;
    QTest::newRow("backtracking") << "a.b.prn.prn"
                                  << "*.prn" << true;
    QTest::newRow("two stars") << "abcXdefYg"
                               << "*X*Y?" << true;
    QTest::newRow("no dot needed") << "README"
                                   << "*" << true;
    QTest::newRow("literal brackets") << "[a].prn"
                                      << "[a].prn" << true;
    QTest::newRow("brackets are no class") << "a.prn"
                                           << "[a].prn" << false;
}

void tst_FileChooser::testPatternMatching()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(file_system::matchesPattern(name, pattern), matches);
}

void tst_FileChooser::testScreenshot()
{
    auto dialog = open();
    clickFile(*dialog, QString::fromUtf8("試験1.prn"));
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    const QString file = QStringLiteral(SCREENSHOT_DIR "/file_chooser.png");
    QVERIFY(dialog->grab().save(file));
    QVERIFY(QFile::exists(file));
}

QTEST_MAIN(tst_FileChooser)
#include "tst_file_chooser.moc"
