#include "ui/main_window/main_window.h"

#include "plot/plot_data.h"
#include "run/run_driver.h"
#include "settings/number_text.h"
#include "settings/run_settings.h"
#include "ui/common/fonts.h"
#include "ui/common/message_presenter.h"
#include "ui/common/twips.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/gui_run_host.h"
#include "ui/main_window/plot_view.h"
#include "ui/main_window/run_relay.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

namespace ui {

namespace {

#include "ui/main_window/varnel_icon.xpm"

    const QColor kLabelText(255, 255, 255);
    const QColor kLabelGrey(128, 128, 128);
    const QColor kPanelGrey(192, 192, 192);
    const QColor kStatusRed(255, 0, 0);
    const QColor kTitlePink(255, 128, 128);
    const QColor kHintTint(255, 236, 160);

    // The window whose preview boxes the preview writes into: the last one built.
    Form1* g_previewWindow = nullptr;

    constexpr int kClientWidth = 6705;
    constexpr int kClientHeight = 6675;

    template <typename W>
    W* place(QWidget* parent, const char* name, int left, int top, int width, int height)
    {
        auto* widget = new W(parent);
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(twipsRect(left, top, width, height));
        return widget;
    }

    void paint(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
    {
        QPalette palette = widget->palette();
        palette.setColor(role, colour);
        widget->setPalette(palette);
    }

    // White on grey, the look of every label but the title.
    QLabel* greyLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
        int width, int height, Qt::Alignment alignment, bool bold = false)
    {
        auto* label = place<QLabel>(parent, name, left, top, width, height);
        label->setText(text);
        label->setAlignment(alignment | Qt::AlignTop);
        label->setAutoFillBackground(true);
        paint(label, QPalette::Window, kLabelGrey);
        paint(label, QPalette::WindowText, kLabelText);
        if (bold)
            label->setFont(windowFont(kProportionalGothic, 9.75, true));
        return label;
    }

    // A box the program writes and never reads back: read-only, but selectable for copying.
    QLineEdit* displayBox(
        QWidget* parent, const char* name, int left, int top, int width, int height)
    {
        auto* box = place<QLineEdit>(parent, name, left, top, width, height);
        box->setReadOnly(true);
        return box;
    }

    // A file-name box shows the end of its path, the file name, whenever a name is set, and the
    // whole path as its tooltip. Whoever sets the name, the box moves to the end unless the
    // user is in it, reading the path from its start.
    void showPathEnd(QLineEdit* box)
    {
        QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
            box->setToolTip(text);
            box->setCursorPosition(static_cast<int>(text.size()));
        });
        QObject::connect(box, &QLineEdit::cursorPositionChanged, box, [box](int, int position) {
            const auto end = static_cast<int>(box->text().size());
            if (!box->hasFocus() && position != end)
                box->setCursorPosition(end);
        });
    }

    // Where a box keeps how it is read, for the note above the controls.
    constexpr char kReadingProperty[] = "varnelReading";

    // A settings box whose text is not a plain number is still read by the boxes' rule ("12abc"
    // is 12, letters alone are 0); the tint, the tooltip and the window's note say what it is
    // read as, so that a slip shows before a run. `readAs` is the value the setting takes, or
    // nullopt when the number cannot be held.
    void showReading(QLineEdit* box, const QString& text, const std::optional<QString>& readAs)
    {
        const settings::NumberRules plain { false, true, settings::NumberRules::End::TextEnd };
        const bool isPlain = settings::scanNumber(text.trimmed().toStdString(), plain).kind
            == settings::ScannedNumber::Kind::Number;
        QString hint;
        QString reading;
        if (!readAs) {
            hint = QStringLiteral("Too large to be held: a run stops with an error");
            reading = QStringLiteral("too large, a run stops");
        } else if (!isPlain) {
            hint = QStringLiteral("Not a plain number: read as %1").arg(*readAs);
            reading = QStringLiteral("read as %1").arg(*readAs);
        }
        box->setToolTip(hint);
        box->setProperty(kReadingProperty, reading);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base,
            hint.isEmpty() ? QApplication::palette(box).color(QPalette::Base) : kHintTint);
        box->setPalette(palette);
    }

    // The window's run host, holding the run's error box until the run's report is known.
    class WindowRunHost final : public GuiRunHost
    {
    public:
        using GuiRunHost::GuiRunHost;

        void showError(const std::string& message) override
        {
            error = message;
        }

        std::optional<std::string> error;
    };

    QString objectNameWithIndex(const char* name, int index)
    {
        return QString::fromLatin1(name) + QString::number(index);
    }

}  // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    showChooser = [](frmOpenSave& chooser) { chooser.exec(); };
    endProgram = [] { QCoreApplication::exit(0); };

    setObjectName(QStringLiteral("Form1"));
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Varnel"));
    setWindowIcon(QIcon(QPixmap(varnel_icon_xpm)));
    // A fixed frame of the dialog kind: no resizing, no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twips(kClientWidth), twips(kClientHeight));
    setFont(windowFont(kProportionalGothic, 9.75));

    buildControls();
    chainTabOrder();
    connectHandlers();
    setPreviewTarget(this);
    g_previewWindow = this;
    load();
}

Form1::~Form1()
{
    if (g_previewWindow == this) {
        setPreviewTarget(nullptr);
        g_previewWindow = nullptr;
    }
}

void Form1::buildControls()
{
    // Panels first: later siblings are drawn over earlier ones.
    m_settingsPanel = place<QFrame>(this, "Shape3", 240, 720, 2055, 3255);
    m_settingsPanel->setAutoFillBackground(true);
    paint(m_settingsPanel, QPalette::Window, kPanelGrey);
    m_dataFilePanel = greyLabel(
        this, "Label14", QStringLiteral("Data file"), 240, 4080, 6255, 2295, Qt::AlignLeft);

    dataFileOpenButton = place<QPushButton>(this, "Command2", 240, 240, 1575, 375);
    dataFileOpenButton->setText(QStringLiteral("Data File Open"));
    startButton = place<QPushButton>(this, "Command1", 1920, 240, 1575, 375);
    startButton->setText(QStringLiteral("Start"));
    startButton->setEnabled(false);
    statusBox = displayBox(this, "Text1", 3600, 240, 1815, 375);
    statusBox->setFont(windowFont(kProportionalGothic, 9.75, true));
    paint(statusBox, QPalette::Text, kStatusRed);
    exitButton = place<QPushButton>(this, "Command4", 5520, 240, 975, 375);
    exitButton->setText(QStringLiteral("Exit"));

    pictureBox = place<PlotView>(this, "Picture1", 2400, 720, 4095, 3255);
    pictureBox->setFocusPolicy(Qt::NoFocus);
    // A run added in the plot window runs with the settings as the boxes hold them then.
    pictureBox->runSettingsSource = [this] {
        return AddedRunSettings { settings::runSettings(), xCoefficientBox->text().toStdString(),
            yCoefficientBox->text().toStdString() };
    };

    m_xAxisLabel = greyLabel(
        this, "Label5", QStringLiteral("X-axis"), 360, 840, 1815, 255, Qt::AlignHCenter, true);
    m_xColumnLabel =
        greyLabel(this, "Label4", QStringLiteral("column"), 360, 1080, 735, 255, Qt::AlignHCenter);
    m_xCoefficientLabel = greyLabel(
        this, "Label8", QStringLiteral("coeficient"), 1080, 1080, 1095, 255, Qt::AlignHCenter);
    xColumnBox = place<QLineEdit>(this, "Text4", 360, 1320, 735, 285);
    xCoefficientBox = place<QLineEdit>(this, "Text6", 1080, 1320, 1095, 285);

    m_yAxisLabel = greyLabel(this, "Label6", QStringLiteral("Y-axis column"), 360, 1680, 1815, 255,
        Qt::AlignHCenter, true);
    m_yColumnLabel =
        greyLabel(this, "Label7", QStringLiteral("column"), 360, 1920, 735, 255, Qt::AlignHCenter);
    m_yCoefficientLabel = greyLabel(
        this, "Label9", QStringLiteral("coeficient"), 1080, 1920, 1095, 255, Qt::AlignHCenter);
    yColumnBox = place<QLineEdit>(this, "Text5", 360, 2160, 735, 285);
    yCoefficientBox = place<QLineEdit>(this, "Text7", 1080, 2160, 1095, 285);

    m_skipLinesLabel = greyLabel(
        this, "Label12", QStringLiteral("Skip line"), 360, 2520, 1815, 255, Qt::AlignHCenter, true);
    skipLinesBox = place<QLineEdit>(this, "Text10", 360, 2760, 1815, 285);

    twoFilesOption = place<QRadioButton>(this, "Option1", 360, 3120, 1815, 255);
    twoFilesOption->setText(QStringLiteral("2 output files"));
    paint(twoFilesOption, QPalette::WindowText, Qt::black);
    paint(twoFilesOption, QPalette::ButtonText, Qt::black);
    oneFileOption = place<QRadioButton>(this, "Option2", 360, 3360, 1815, 255);
    oneFileOption->setText(QStringLiteral("1 output file"));
    keepWorkingFilesBox = place<QCheckBox>(this, "Check1", 360, 3600, 1815, 255);
    keepWorkingFilesBox->setText(QStringLiteral("Keep temporals"));
    keepWorkingFilesBox->setToolTip(
        QStringLiteral("Keeps the point file and the cross-check file beside the "
                       "curve files. Once ticked, it stays on until the program "
                       "is started again."));

    m_dataFileLabel = greyLabel(
        this, "Label1", QStringLiteral("input file"), 1080, 4080, 855, 255, Qt::AlignRight);
    m_outputFile1Label = greyLabel(
        this, "Label3", QStringLiteral("ounput file1"), 840, 4320, 1095, 255, Qt::AlignRight);
    m_outputFile2Label = greyLabel(
        this, "Label2", QStringLiteral("output file2"), 840, 4560, 1095, 255, Qt::AlignRight);
    const QFont italic = [] {
        QFont font = windowFont(kProportionalGothic, 9.75);
        font.setItalic(true);
        return font;
    }();
    for (int i = 0; i < 3; ++i) {
        QLineEdit* box = displayBox(this, "Text2", 2040, 4080 + 240 * i, 4455, 225);
        box->setObjectName(objectNameWithIndex("Text2", i));
        box->setFont(italic);
        // The boxes are shorter than a framed line edit: borderless, on the panel's grey.
        box->setFrame(false);
        box->setTextMargins(0, 0, 0, 0);
        paint(box, QPalette::Base, kLabelGrey);
        paint(box, QPalette::Text, kLabelText);
        showPathEnd(box);
        fileNameBoxes[i] = box;
    }
    const QFont fixed = windowFont(kFixedGothic, 9.75);
    for (int i = 0; i < 6; ++i) {
        QLineEdit* box = displayBox(this, "Text11", 360, 4800 + 240 * i, 6015, 255);
        box->setObjectName(objectNameWithIndex("Text11", i));
        box->setFont(fixed);
        previewLines[i] = box;
    }

    m_titleLabel = place<QLabel>(this, "Label22", 120, 6360, 6495, 255);
    m_titleLabel->setText(
        QStringLiteral("Varnel " VARNEL_VERSION " \u2014 curves of cyclic load\u2013deformation "
                       "records"));
    m_titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_titleLabel->setFont(windowFont(kArial, 8.25, true));
    paint(m_titleLabel, QPalette::WindowText, kTitlePink);

    // Not a control of the layout: the free strip above the buttons, shown only while a
    // settings box is read other than it shows.
    m_readingNote = new QLabel(this);
    m_readingNote->setObjectName(QStringLiteral("readingNote"));
    m_readingNote->setFont(windowFont(kProportionalGothic, 8.25));
    m_readingNote->setAutoFillBackground(true);
    paint(m_readingNote, QPalette::Window, kHintTint);
    paint(m_readingNote, QPalette::WindowText, Qt::black);
    m_readingNote->setAlignment(Qt::AlignCenter);
    m_readingNote->hide();
}

void Form1::showReadingNote()
{
    const std::pair<QLineEdit*, const char*> boxes[] = { { xColumnBox, "X column" },
        { xCoefficientBox, "X coefficient" }, { yColumnBox, "Y column" },
        { yCoefficientBox, "Y coefficient" }, { skipLinesBox, "Skip line" } };
    QStringList readings;
    for (const auto& [box, name] : boxes) {
        const QString reading = box->property(kReadingProperty).toString();
        if (!reading.isEmpty())
            readings << QStringLiteral("%1 “%2” %3").arg(QLatin1String(name), box->text(), reading);
    }
    const QString text = readings.join(QStringLiteral(" · "));
    // As wide as its text, up to the strip's width; the whole text is its tooltip.
    const QRect strip = twipsRect(240, 15, 6255, 210);
    constexpr int kPadding = 8;
    const QFontMetrics metrics = m_readingNote->fontMetrics();
    const int natural = metrics.horizontalAdvance(text) + 2 * kPadding;
    const int width = std::min(strip.width(), natural);
    m_readingNote->setText(
        natural <= width ? text : metrics.elidedText(text, Qt::ElideRight, width - 2 * kPadding));
    m_readingNote->setToolTip(text);
    m_readingNote->setGeometry(strip.left(), strip.top(), width, strip.height());
    m_readingNote->setVisible(!text.isEmpty());
}

void Form1::chainTabOrder()
{
    // Keyboard order of the window; labels and the picture box never take the focus.
    QWidget* const order[] = { dataFileOpenButton, startButton, exitButton, xColumnBox,
        xCoefficientBox, yColumnBox, yCoefficientBox, skipLinesBox, twoFilesOption, oneFileOption,
        keepWorkingFilesBox, previewLines[0], previewLines[1], previewLines[2], previewLines[3],
        previewLines[4], previewLines[5], statusBox, fileNameBoxes[0], fileNameBoxes[1],
        fileNameBoxes[2] };
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Form1::connectHandlers()
{
    // textChanged comes with every change, typed or set by the program, so the record always
    // matches the boxes. A coefficient that cannot be held leaves its field as it was. Each
    // box also shows how its text is read, from a scratch record so that the hint never
    // depends on what the field held before.
    using Column = void (*)(settings::RunSettings&, std::string_view);
    using Coefficient = bool (*)(settings::RunSettings&, std::string_view);
    const auto follow = [this](QLineEdit* box, Column set,
                            std::int16_t settings::RunSettings::*field) {
        connect(box, &QLineEdit::textChanged, box, [this, box, set, field](const QString& text) {
            const std::string bytes = text.toStdString();
            set(settings::runSettings(), bytes);
            settings::RunSettings scratch;
            set(scratch, bytes);
            showReading(box, text, QString::number(scratch.*field));
            showReadingNote();
        });
    };
    const auto followCoefficient = [this](QLineEdit* box, Coefficient set,
                                       float settings::RunSettings::*field) {
        connect(box, &QLineEdit::textChanged, box, [this, box, set, field](const QString& text) {
            const std::string bytes = text.toStdString();
            set(settings::runSettings(), bytes);
            settings::RunSettings scratch;
            std::optional<QString> readAs;
            if (set(scratch, bytes))
                readAs = QString::number(static_cast<double>(scratch.*field), 'g', 7);
            showReading(box, text, readAs);
            showReadingNote();
        });
    };
    follow(xColumnBox, settings::setXColumn, &settings::RunSettings::XColumn);
    follow(yColumnBox, settings::setYColumn, &settings::RunSettings::YColumn);
    follow(skipLinesBox, settings::setSkipLines, &settings::RunSettings::SkipLines);
    followCoefficient(
        xCoefficientBox, settings::setXCoefficient, &settings::RunSettings::XCoefficient);
    followCoefficient(
        yCoefficientBox, settings::setYCoefficient, &settings::RunSettings::YCoefficient);
    connect(twoFilesOption, &QRadioButton::toggled, [](bool on) {
        if (on)
            settings::runSettings().OutputMode = settings::kTwoOutputFiles;
    });
    connect(oneFileOption, &QRadioButton::toggled, [](bool on) {
        if (on)
            settings::runSettings().OutputMode = settings::kOneOutputFile;
    });
    // Every change of the box keeps the working files, unticking included; the box stays
    // ticked so that it never shows a state the run does not have.
    connect(keepWorkingFilesBox, &QCheckBox::toggled, this, [this](bool ticked) {
        settings::runSettings().KeepWorkingFiles = settings::kKeepWorkingFiles;
        if (!ticked)
            keepWorkingFilesBox->setChecked(true);
    });
    connect(dataFileOpenButton, &QPushButton::clicked, this, &Form1::dataFileOpenClicked);
    connect(startButton, &QPushButton::clicked, this, &Form1::startClicked);
    startButton->installEventFilter(this);
    connect(exitButton, &QPushButton::clicked, this, &Form1::exitClicked);
}

void Form1::load()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The frame is not known before the window is shown; centre the client area.
        const QRect whole = screen->geometry();
        move(whole.left() + whole.width() / 2 - width() / 2,
            whole.top() + whole.height() / 2 - height() / 2);
    }
    xColumnBox->setText(QStringLiteral("1"));
    yColumnBox->setText(QStringLiteral("2"));
    skipLinesBox->setText(QStringLiteral("0"));
    xCoefficientBox->setText(QStringLiteral("1"));
    yCoefficientBox->setText(QStringLiteral("1"));
    for (QLineEdit* box : previewLines)
        box->clear();
    statusBox->clear();
    for (QLineEdit* box : fileNameBoxes)
        box->clear();
    twoFilesOption->setChecked(true);
    settings::runSettings().OutputMode = settings::kTwoOutputFiles;
    settings::runSettings().KeepWorkingFiles = settings::kDeleteWorkingFiles;
}

void Form1::setPreviewLine(int index, const QString& text)
{
    if (index < 0 || index >= 6)
        return;
    // Show a long line from its start, where the columns begin.
    previewLines[index]->setText(text);
    previewLines[index]->setCursorPosition(0);
}

void Form1::dataFileOpenClicked()
{
    // During a run the status, the file names and the picture are the run's: a chooser opened
    // meanwhile only picks and previews a file.
    const bool duringRun = m_running;
    if (!duringRun) {
        statusBox->clear();
        for (QLineEdit* box : fileNameBoxes)
            box->clear();
    }
    {
        frmOpenSave chooser(this);
        chooser.setWindowTitle(QStringLiteral("Data File Open"));
        chooser.fileNameBox->setText(QStringLiteral("*.prn"));
        chooser.fileNameBox->setSelection(0, 5);
        showChooser(chooser);
    }
    startButton->setEnabled(true);
    if (!duringRun) {
        pictureBox->clear();
        // Chosen now or kept from before a cancelled chooser, this is the file "Start" runs.
        const std::string& chosen = settings::runSettings().DataFilePath;
        if (!chosen.empty())
            fileNameBoxes[0]->setText(QFile::decodeName(QByteArray::fromStdString(chosen)));
    }
}

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    // Any list of files is taken in, so that a drop the window refuses can say why.
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    // The drop is answered once the drag has ended: a warning box must not hold up the
    // program the file came from.
    QMetaObject::invokeMethod(
        this, [this, urls = event->mimeData()->urls()] { dataFileDropped(urls); },
        Qt::QueuedConnection);
}

// A dropped file is chosen as in "Data File Open", and during a run it too only picks and
// previews; a refused drop changes nothing.
void Form1::dataFileDropped(const QList<QUrl>& urls)
{
    if (urls.size() != 1 || !urls.first().isLocalFile()) {
        messagePresenter().warning(this, applicationTitle(),
            urls.size() > 1 ? QStringLiteral("Drop one data file at a time.")
                            : QStringLiteral("Only a file on this computer can be opened."));
        return;
    }
    const QString path = urls.first().toLocalFile();
    if (!chooseDataFile(this, path))
        return;
    startButton->setEnabled(true);
    if (m_running)
        return;
    statusBox->clear();
    for (QLineEdit* box : fileNameBoxes)
        box->clear();
    pictureBox->clear();
    fileNameBoxes[0]->setText(
        QFile::decodeName(QByteArray::fromStdString(settings::runSettings().DataFilePath)));
}

void Form1::startClicked()
{
    // One run at a time: a click that arrives while a run yields is ignored, and so is one
    // whose press came during the run and whose release came after it.
    const bool pressedDuringRun = std::exchange(m_startPressedDuringRun, false);
    if (m_running || pressedDuringRun)
        return;
    m_running = true;
    m_stopRequested = false;
    pictureBox->setRunInProgress(true);
    WindowRunHost host(*this, yieldInterval);
    // The run reports every failure itself, an unforeseen one included.
    // The files the run writes are named now: a file chosen during the run is for the next.
    const std::string xCoefficient = xCoefficientBox->text().toStdString();
    const std::string yCoefficient = yCoefficientBox->text().toStdString();
    // The coefficients as the boxes hold them, as a run applies them to the settings it is given;
    // the run itself goes on a copy, since the boxes may change the settings while it runs.
    settings::setXCoefficient(settings::runSettings(), xCoefficient);
    settings::setYCoefficient(settings::runSettings(), yCoefficient);
    const settings::RunSettings atStart = settings::runSettings();
    // The run goes on a thread of its own while this one draws what it hands over.
    const run::RunReport report = runBeside(host, [&](run::RunHost& runHost) {
        settings::RunSettings forRun = atStart;
        return run::runVarnel(runHost, forRun, xCoefficient, yCoefficient);
    });
    // The run ends as soon as it has shown its error, so the box can wait until the run's
    // report says where or why.
    if (host.error) {
        messagePresenter().warningWithDetail(this, QStringLiteral("Error"),
            QString::fromStdString(*host.error),
            QString::fromStdString(run::failureDetailLine(atStart.DataFilePath, report)));
    }
    if (std::optional<run::FinishedRun> finished = host.takeFinishedRun())
        pictureBox->showFinishedRun(std::move(*finished));
    // Input that came while the run was past its last yield (a second click on "Start"
    // among it) is the run's to ignore, not the start of another.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_running = false;
    pictureBox->setRunInProgress(false);
    if (m_stopRequested)
        endProgram();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == startButton
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress))
        m_startPressedDuringRun = m_running;
    return QWidget::eventFilter(watched, event);
}

void Form1::exitClicked()
{
    if (m_running) {
        // The run closes its files as it unwinds from its next yield, then the program ends.
        m_stopRequested = true;
        hide();
        return;
    }
    endProgram();
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_running)
        m_stopRequested = true;
    event->accept();
}

}  // namespace ui
