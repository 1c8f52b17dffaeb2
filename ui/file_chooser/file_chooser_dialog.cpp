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

    drvOpenSave->Change = [this] { drvOpenSave_Change(); };
    dirOpenSave->Change = [this] { dirOpenSave_Change(); };
    filOpenSave->PathChange = [this] { filOpenSave_PathChange(); };
    filOpenSave->PatternChange = [this] { filOpenSave_PatternChange(); };
    filOpenSave->Click = [this] { filOpenSave_Click(); };
    filOpenSave->DblClick = [this] { filOpenSave_DblClick(); };
    const GestureRunner runner = [this](const std::function<void()>& action) {
        return runUserAction(action);
    };
    drvOpenSave->gestureRunner = runner;
    dirOpenSave->gestureRunner = runner;
    filOpenSave->gestureRunner = runner;
    connect(txtOpenSave, &QLineEdit::textChanged, this, [this] { txtOpenSave_Change(); });
    for (int index = 0; index < 2; ++index) {
        connect(cmdOpenSave[index], &QPushButton::clicked, this,
            [this, index] { cmdOpenSave_Click(index); });
    }

    Form_Load();
}

void frmOpenSave::buildControls()
{
    lblOpenSave[0] =
        makeLabel(this, 0, QStringLiteral("File Name:"), twipsRect(120, 120, 1455, 315));
    lblOpenSave[1] = makeLabel(this, 1, QStringLiteral("Folder:"), twipsRect(2280, 720, 1455, 315));
    lblOpenSave[2] = makeLabel(this, 2, QString(), twipsRect(2280, 480, 3375, 315));
    lblOpenSave[2]->setFont(windowFont(kProportionalGothic, kPathLabelPoints));
    lblOpenSave[3] = makeLabel(this, 3, QStringLiteral("Drive:"), twipsRect(2280, 120, 1455, 255));

    filOpenSave = new FileList(this);
    filOpenSave->setObjectName(QStringLiteral("filOpenSave"));
    filOpenSave->setGeometry(twipsRect(120, 720, 2055, 2820));
    filOpenSave->setPattern(kDesignPattern);

    dirOpenSave = new FolderList(this);
    dirOpenSave->setObjectName(QStringLiteral("dirOpenSave"));
    dirOpenSave->setGeometry(twipsRect(2280, 960, 3375, 2280));

    txtOpenSave = new QLineEdit(kDesignPattern, this);
    txtOpenSave->setObjectName(QStringLiteral("txtOpenSave"));
    // A long name shows its end, which tells it from its neighbours, and whole as the tooltip.
    connect(txtOpenSave, &QLineEdit::textChanged, txtOpenSave,
        [box = txtOpenSave](const QString& text) { box->setToolTip(text); });
    txtOpenSave->setGeometry(twipsRect(120, 360, 2055, 315));

    drvOpenSave = new DriveList(this);
    drvOpenSave->setObjectName(QStringLiteral("drvOpenSave"));
    drvOpenSave->setGeometry(twipsRect(2280, 360, 3375, 315));

    const QString captions[2] = { QStringLiteral("OK"), QStringLiteral("Cancel") };
    const int lefts[2] = { 2640, 4200 };
    for (int index = 0; index < 2; ++index) {
        cmdOpenSave[index] = new QPushButton(captions[index], this);
        cmdOpenSave[index]->setObjectName(QStringLiteral("cmdOpenSave%1").arg(index));
        cmdOpenSave[index]->setGeometry(twipsRect(lefts[index], 3360, 1095, 375));
    }
    cmdOpenSave[0]->setDefault(true);
    cmdOpenSave[0]->setEnabled(false);

    // The path label's upper part lies under the drive list, as do the other labels' lower
    // edges under their controls.
    for (QLabel* label : lblOpenSave)
        label->lower();

    setTabOrder(filOpenSave, dirOpenSave);
    setTabOrder(dirOpenSave, txtOpenSave);
    setTabOrder(txtOpenSave, drvOpenSave);
    setTabOrder(drvOpenSave, cmdOpenSave[0]);
    setTabOrder(cmdOpenSave[0], cmdOpenSave[1]);
    filOpenSave->setFocus();
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

void frmOpenSave::Form_Load()
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
        drvOpenSave->setDrive(folder);
        dirOpenSave->setPath(folder);
        lblOpenSave[2]->setText(dirOpenSave->Path());
    });
}

// A drive change completes the whole folder chain before it makes the drive current.
void frmOpenSave::drvOpenSave_Change()
{
    dirOpenSave->setPath(drvOpenSave->Drive());
    file_system::setCurrentDrive(drvOpenSave->Drive());
}

void frmOpenSave::dirOpenSave_Change()
{
    filOpenSave->setPath(dirOpenSave->Path());
    lblOpenSave[2]->setText(dirOpenSave->Path());
    file_system::setCurrentFolder(dirOpenSave->Path());
}

// Both file-list handlers move the drive list before the folder list, and the folder list
// follows the file list's Path as it stands after the drive list moved.
void frmOpenSave::filOpenSave_PathChange()
{
    txtOpenSave->setText(filOpenSave->Pattern());
    drvOpenSave->setDrive(filOpenSave->Path());
    dirOpenSave->setPath(filOpenSave->Path());
}

void frmOpenSave::filOpenSave_PatternChange()
{
    drvOpenSave->setDrive(filOpenSave->Path());
    dirOpenSave->setPath(filOpenSave->Path());
}

void frmOpenSave::filOpenSave_Click()
{
    txtOpenSave->setText(filOpenSave->List(filOpenSave->ListIndex()));
}

void frmOpenSave::filOpenSave_DblClick()
{
    const QString fullPath = file_system::joinPath(filOpenSave->Path(), filOpenSave->FileName());
    choose(fullPath, windowTitle() == kDataFileCaption);
    accept();
}

void frmOpenSave::txtOpenSave_Change()
{
    // Once enabled, "OK" stays enabled until the dialog closes.
    if (txtOpenSave->text() != kDesignPattern)
        cmdOpenSave[0]->setEnabled(true);
}

void frmOpenSave::cmdOpenSave_Click(int index)
{
    if (index == 0)
        runUserAction([this] { okClicked(); });
    else
        reject();
}

void frmOpenSave::okClicked()
{
    const QString text = txtOpenSave->text();
    followTypedDrive(text);
    try {
        filOpenSave->setFileName(text);
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
        filOpenSave->Path().isEmpty() ? file_system::currentFolder() : filOpenSave->Path();
    const QString folder = file_system::normalFolder(text.left(slash + 1), base);
    if (!file_system::isFolder(folder)
        || !file_system::isNormalFile(file_system::joinPath(folder, text.mid(slash + 1)))
        || file_system::driveOf(folder) == drvOpenSave->Drive())
        return;
    drvOpenSave->setDrive(folder);
    dirOpenSave->setPath(folder);
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
        if (!dirOpenSave->Path().isEmpty())
            drvOpenSave->showDriveOf(dirOpenSave->Path());
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
