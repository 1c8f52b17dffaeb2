#include "ui/file_chooser/file_chooser_dialog.h"

#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/common/fonts.h"
#include "ui/common/message_presenter.h"
#include "ui/common/twips.h"
#include "ui/file_chooser/file_system.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace ui {

namespace {

    // The file-name box's design text; "OK" is enabled by any other text, whatever the pattern.
    const QString kDesignPattern = QStringLiteral("*.prn");
    const QString kDataFileCaption = QStringLiteral("Data File Open");
    const QString kNoSuchFile = QStringLiteral("ファイルが存在しません。");

    constexpr double kControlPoints = 9.75;
    constexpr double kPathLabelPoints = 9.0;

    // Stores `fullPath` as the chosen file and previews it when `preview`. Throws
    // file_system::Failure.
    void choose(const QString& fullPath, bool preview)
    {
        // A file the preview cannot read fails the choice before DataFilePath changes.
        if (preview)
            file_system::checkReadable(fullPath);
        settings::runSettings().DataFilePath = QFile::encodeName(fullPath).toStdString();
        if (preview)
            ShowDataFilePreview(fullPath);
    }

    void warnOver(QWidget* parent, const QString& text)
    {
        messagePresenter().warning(parent, applicationTitle(), text);
    }

    // A folder holding a page, drawn in the 16 colours of the classic palette.
    QIcon chooserIcon()
    {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setPen(Qt::black);
        painter.setBrush(QColor(255, 255, 255));
        painter.drawRect(9, 3, 16, 20);
        painter.setPen(QColor(0, 0, 128));
        for (int y = 7; y <= 17; y += 3)
            painter.drawLine(12, y, 22, y);
        painter.setPen(Qt::black);
        painter.setBrush(QColor(128, 128, 0));
        painter.drawRect(2, 10, 11, 4);
        painter.setBrush(QColor(255, 255, 0));
        painter.drawRect(2, 13, 27, 16);
        return QIcon(pixmap);
    }

    QLabel* makeLabel(QWidget* parent, int index, const QString& text, const QRect& geometry)
    {
        auto* label = new QLabel(text, parent);
        label->setObjectName(QStringLiteral("lblOpenSave%1").arg(index));
        label->setGeometry(geometry);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // The labels carry the system window colours but leave the grey face showing: they
        // overlap the controls below them.
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Base));
        palette.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::Text));
        label->setPalette(palette);
        label->setAutoFillBackground(false);
        return label;
    }

}  // namespace

frmOpenSave::frmOpenSave(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
            | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmOpenSave"));
    registerFontSubstitutes();
    setWindowTitle(QStringLiteral("File"));
    setWindowIcon(chooserIcon());
    setFixedSize(twips(5760), twips(3810));
    QPalette face = palette();
    face.setColor(QPalette::Window, QColor(192, 192, 192));
    face.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    setPalette(face);
    setFont(windowFont(kProportionalGothic, kControlPoints));

    buildControls();

    driveList->Change = [this] { driveChanged(); };
    folderList->Change = [this] { folderChanged(); };
    fileList->PathChange = [this] { fileListPathChanged(); };
    fileList->PatternChange = [this] { fileListPatternChanged(); };
    fileList->Click = [this] { fileClicked(); };
    fileList->DblClick = [this] { fileDoubleClicked(); };
    const GestureRunner runner = [this](const std::function<void()>& action) {
        return runUserAction(action);
    };
    driveList->gestureRunner = runner;
    folderList->gestureRunner = runner;
    fileList->gestureRunner = runner;
    connect(fileNameBox, &QLineEdit::textChanged, this, [this] { fileNameEdited(); });
    connect(
        okButton, &QPushButton::clicked, this, [this] { runUserAction([this] { okClicked(); }); });
    connect(cancelButton, &QPushButton::clicked, this, &frmOpenSave::reject);

    load();
}

void frmOpenSave::buildControls()
{
    m_fileNameLabel =
        makeLabel(this, 0, QStringLiteral("File Name:"), twipsRect(120, 120, 1455, 315));
    m_folderLabel = makeLabel(this, 1, QStringLiteral("Folder:"), twipsRect(2280, 720, 1455, 315));
    folderPathLabel = makeLabel(this, 2, QString(), twipsRect(2280, 480, 3375, 315));
    folderPathLabel->setFont(windowFont(kProportionalGothic, kPathLabelPoints));
    m_driveLabel = makeLabel(this, 3, QStringLiteral("Drive:"), twipsRect(2280, 120, 1455, 255));

    fileList = new FileList(this);
    fileList->setObjectName(QStringLiteral("filOpenSave"));
    fileList->setGeometry(twipsRect(120, 720, 2055, 2820));
    fileList->setPattern(kDesignPattern);

    folderList = new FolderList(this);
    folderList->setObjectName(QStringLiteral("dirOpenSave"));
    folderList->setGeometry(twipsRect(2280, 960, 3375, 2280));

    fileNameBox = new QLineEdit(kDesignPattern, this);
    fileNameBox->setObjectName(QStringLiteral("txtOpenSave"));
    // A long name shows its end, which tells it from its neighbours, and whole as the tooltip.
    connect(fileNameBox, &QLineEdit::textChanged, fileNameBox,
        [box = fileNameBox](const QString& text) { box->setToolTip(text); });
    fileNameBox->setGeometry(twipsRect(120, 360, 2055, 315));

    driveList = new DriveList(this);
    driveList->setObjectName(QStringLiteral("drvOpenSave"));
    driveList->setGeometry(twipsRect(2280, 360, 3375, 315));

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOpenSave0"));
    okButton->setGeometry(twipsRect(2640, 3360, 1095, 375));
    okButton->setDefault(true);
    okButton->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cmdOpenSave1"));
    cancelButton->setGeometry(twipsRect(4200, 3360, 1095, 375));

    // The path label's upper part lies under the drive list, as do the other labels' lower
    // edges under their controls.
    for (QLabel* label : { m_fileNameLabel, m_folderLabel, folderPathLabel, m_driveLabel })
        label->lower();

    setTabOrder(fileList, folderList);
    setTabOrder(folderList, fileNameBox);
    setTabOrder(fileNameBox, driveList);
    setTabOrder(driveList, okButton);
    setTabOrder(okButton, cancelButton);
    fileList->setFocus();
}

void frmOpenSave::showEvent(QShowEvent* event)
{
    // Opened without a parent, the dialog still belongs to the active window, which keeps it
    // off the task bar.
    QWindow* window = windowHandle();
    QWidget* active = QApplication::activeWindow();
    if (!parentWidget() && window && !window->transientParent() && active && active != this)
        window->setTransientParent(active->windowHandle());
    QDialog::showEvent(event);
}

void frmOpenSave::load()
{
    // Centred in twips, each half in floating point and kept in single precision.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize outer = frameGeometry().size() * kTwipsPerPixel;
        const QRect area = screen->geometry();
        const auto left =
            static_cast<float>(area.width() * kTwipsPerPixel / 2.0 - outer.width() / 2.0);
        const auto top =
            static_cast<float>(area.height() * kTwipsPerPixel / 2.0 - outer.height() / 2.0);
        move(area.x() + qRound(left / kTwipsPerPixel), area.y() + qRound(top / kTwipsPerPixel));
    }
    runUserAction([this] {
        const QString folder = file_system::currentFolder();
        driveList->setDrive(folder);
        folderList->setPath(folder);
        folderPathLabel->setText(folderList->Path());
    });
}

// A drive change completes the whole folder chain before it makes the drive current.
void frmOpenSave::driveChanged()
{
    folderList->setPath(driveList->Drive());
    file_system::setCurrentDrive(driveList->Drive());
}

void frmOpenSave::folderChanged()
{
    fileList->setPath(folderList->Path());
    folderPathLabel->setText(folderList->Path());
    file_system::setCurrentFolder(folderList->Path());
}

// Both file-list handlers move the drive list before the folder list, and the folder list
// follows the file list's Path as it stands after the drive list moved.
void frmOpenSave::fileListPathChanged()
{
    fileNameBox->setText(fileList->Pattern());
    driveList->setDrive(fileList->Path());
    folderList->setPath(fileList->Path());
}

void frmOpenSave::fileListPatternChanged()
{
    driveList->setDrive(fileList->Path());
    folderList->setPath(fileList->Path());
}

void frmOpenSave::fileClicked()
{
    fileNameBox->setText(fileList->List(fileList->ListIndex()));
}

void frmOpenSave::fileDoubleClicked()
{
    const QString fullPath = file_system::joinPath(fileList->Path(), fileList->FileName());
    choose(fullPath, windowTitle() == kDataFileCaption);
    accept();
}

void frmOpenSave::fileNameEdited()
{
    // Once enabled, "OK" stays enabled until the dialog closes.
    if (fileNameBox->text() != kDesignPattern)
        okButton->setEnabled(true);
}

void frmOpenSave::okClicked()
{
    const QString text = fileNameBox->text();
    followTypedDrive(text);
    try {
        fileList->setFileName(text);
        return;
    } catch (const file_system::Failure& failure) {
        // Only a name that names nothing goes on to the search; a refusal by the system (a
        // folder or file that cannot be read) would otherwise pass unreported.
        if (failure.kind() != file_system::FailureKind::NotFound)
            throw;
    }
    if (!file_system::search(text))
        warn(kNoSuchFile);
}

// A typed file on another drive: the drive list and the folder list go to its folder first,
// as a user would take them, so that the file is then chosen in its own folder; moving the
// drive alone would take the lists to that drive's own current folder instead. Anything else
// typed (a folder, a pattern, a name that names nothing) is left to the documented chain.
void frmOpenSave::followTypedDrive(const QString& text)
{
    const qsizetype slash = text.lastIndexOf(u'/');
    if (slash < 0 || file_system::hasWildcards(text.mid(slash + 1)))
        return;
    const QString base =
        fileList->Path().isEmpty() ? file_system::currentFolder() : fileList->Path();
    const QString folder = file_system::normalFolder(text.left(slash + 1), base);
    if (!file_system::isFolder(folder)
        || !file_system::isNormalFile(file_system::joinPath(folder, text.mid(slash + 1)))
        || file_system::driveOf(folder) == driveList->Drive())
        return;
    driveList->setDrive(folder);
    folderList->setPath(folder);
}

bool frmOpenSave::runUserAction(const std::function<void()>& action) noexcept
{
    QString description;
    try {
        action();
        return true;
    } catch (const file_system::Failure& failure) {
        description = failure.description();
    } catch (const std::exception& error) {
        description = QString::fromLocal8Bit(error.what());
    } catch (...) {
        description = QStringLiteral("Unknown failure");
    }
    try {
        if (!folderList->Path().isEmpty())
            driveList->showDriveOf(folderList->Path());
        warn(description);
    } catch (...) {
        // Nothing more can be shown; the dialog stays open.
    }
    return false;
}

void frmOpenSave::warn(const QString& text)
{
    warnOver(this, text);
}

bool chooseDataFile(QWidget* parent, const QString& path) noexcept
{
    QString refusal;
    try {
        // The file list offers normal files only, and a name that names none of them ends
        // in the chooser's "no such file" warning.
        if (!file_system::isNormalFile(path)) {
            refusal = kNoSuchFile;
        } else {
            choose(path, true);
            return true;
        }
    } catch (const file_system::Failure& failure) {
        refusal = failure.description();
    } catch (const std::exception& error) {
        refusal = QString::fromLocal8Bit(error.what());
    } catch (...) {
        refusal = QStringLiteral("Unknown failure");
    }
    try {
        warnOver(parent, refusal);
    } catch (...) {
        // Nothing more can be shown; nothing was chosen.
    }
    return false;
}

}  // namespace ui
