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

    // A settings box whose text is not a plain number is still read by the boxes' rule ("12abc"
    // is 12, letters alone are 0); the tint and the tooltip say what it is read as, so that a
    // slip shows before a run. `readAs` is the value the setting takes, or nullopt when the
    // number cannot be held.
    void showReading(QLineEdit* box, const QString& text, const std::optional<QString>& readAs)
    {
        const settings::NumberRules plain { false, true, settings::NumberRules::End::TextEnd };
        const bool isPlain = settings::scanNumber(text.trimmed().toStdString(), plain).kind
            == settings::ScannedNumber::Kind::Number;
        QString hint;
        if (!readAs)
            hint = QStringLiteral("Too large to be held: a run stops with an error");
        else if (!isPlain)
            hint = QStringLiteral("Not a plain number: read as %1").arg(*readAs);
        box->setToolTip(hint);
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
    Shape3 = place<QFrame>(this, "Shape3", 240, 720, 2055, 3255);
    Shape3->setAutoFillBackground(true);
    paint(Shape3, QPalette::Window, kPanelGrey);
    Label14 = greyLabel(
        this, "Label14", QStringLiteral("Data file"), 240, 4080, 6255, 2295, Qt::AlignLeft);

    Command2 = place<QPushButton>(this, "Command2", 240, 240, 1575, 375);
    Command2->setText(QStringLiteral("Data File Open"));
    Command1 = place<QPushButton>(this, "Command1", 1920, 240, 1575, 375);
    Command1->setText(QStringLiteral("Start"));
    Command1->setEnabled(false);
    Text1 = displayBox(this, "Text1", 3600, 240, 1815, 375);
    Text1->setFont(windowFont(kProportionalGothic, 9.75, true));
    paint(Text1, QPalette::Text, kStatusRed);
    Command4 = place<QPushButton>(this, "Command4", 5520, 240, 975, 375);
    Command4->setText(QStringLiteral("Exit"));

    Picture1 = place<PlotView>(this, "Picture1", 2400, 720, 4095, 3255);
    Picture1->setFocusPolicy(Qt::NoFocus);

    Label5 = greyLabel(
        this, "Label5", QStringLiteral("X-axis"), 360, 840, 1815, 255, Qt::AlignHCenter, true);
    Label4 =
        greyLabel(this, "Label4", QStringLiteral("column"), 360, 1080, 735, 255, Qt::AlignHCenter);
    Label8 = greyLabel(
        this, "Label8", QStringLiteral("coeficient"), 1080, 1080, 1095, 255, Qt::AlignHCenter);
    Text4 = place<QLineEdit>(this, "Text4", 360, 1320, 735, 285);
    Text6 = place<QLineEdit>(this, "Text6", 1080, 1320, 1095, 285);

    Label6 = greyLabel(this, "Label6", QStringLiteral("Y-axis column"), 360, 1680, 1815, 255,
        Qt::AlignHCenter, true);
    Label7 =
        greyLabel(this, "Label7", QStringLiteral("column"), 360, 1920, 735, 255, Qt::AlignHCenter);
    Label9 = greyLabel(
        this, "Label9", QStringLiteral("coeficient"), 1080, 1920, 1095, 255, Qt::AlignHCenter);
    Text5 = place<QLineEdit>(this, "Text5", 360, 2160, 735, 285);
    Text7 = place<QLineEdit>(this, "Text7", 1080, 2160, 1095, 285);

    Label12 = greyLabel(
        this, "Label12", QStringLiteral("Skip line"), 360, 2520, 1815, 255, Qt::AlignHCenter, true);
    Text10 = place<QLineEdit>(this, "Text10", 360, 2760, 1815, 285);

    Option1 = place<QRadioButton>(this, "Option1", 360, 3120, 1815, 255);
    Option1->setText(QStringLiteral("2 output files"));
    paint(Option1, QPalette::WindowText, Qt::black);
    paint(Option1, QPalette::ButtonText, Qt::black);
    Option2 = place<QRadioButton>(this, "Option2", 360, 3360, 1815, 255);
    Option2->setText(QStringLiteral("1 output file"));
    Check1 = place<QCheckBox>(this, "Check1", 360, 3600, 1815, 255);
    Check1->setText(QStringLiteral("Keep temporals"));
    Check1->setToolTip(QStringLiteral("Keeps the point file and the cross-check file beside the "
                                      "curve files. Once ticked, it stays on until the program "
                                      "is started again."));

    Label1 = greyLabel(
        this, "Label1", QStringLiteral("input file"), 1080, 4080, 855, 255, Qt::AlignRight);
    Label3 = greyLabel(
        this, "Label3", QStringLiteral("ounput file1"), 840, 4320, 1095, 255, Qt::AlignRight);
    Label2 = greyLabel(
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
        Text2[i] = box;
    }
    const QFont fixed = windowFont(kFixedGothic, 9.75);
    for (int i = 0; i < 6; ++i) {
        QLineEdit* box = displayBox(this, "Text11", 360, 4800 + 240 * i, 6015, 255);
        box->setObjectName(objectNameWithIndex("Text11", i));
        box->setFont(fixed);
        Text11[i] = box;
    }

    Label22 = place<QLabel>(this, "Label22", 120, 6360, 6495, 255);
    Label22->setText(
        QStringLiteral("Varnel " VARNEL_VERSION " \u2014 curves of cyclic load\u2013deformation "
                       "records"));
    Label22->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label22->setFont(windowFont(kArial, 8.25, true));
    paint(Label22, QPalette::WindowText, kTitlePink);
}

void Form1::chainTabOrder()
{
    // Keyboard order of the window; labels and the picture box never take the focus.
    QWidget* const order[] = { Command2, Command1, Command4, Text4, Text6, Text5, Text7, Text10,
        Option1, Option2, Check1, Text11[0], Text11[1], Text11[2], Text11[3], Text11[4], Text11[5],
        Text1, Text2[0], Text2[1], Text2[2] };
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
    const auto follow = [](QLineEdit* box, Column set, std::int16_t settings::RunSettings::*field) {
        connect(box, &QLineEdit::textChanged, box, [box, set, field](const QString& text) {
            const std::string bytes = text.toStdString();
            set(settings::runSettings(), bytes);
            settings::RunSettings scratch;
            set(scratch, bytes);
            showReading(box, text, QString::number(scratch.*field));
        });
    };
    const auto followCoefficient = [](QLineEdit* box, Coefficient set,
                                       float settings::RunSettings::*field) {
        connect(box, &QLineEdit::textChanged, box, [box, set, field](const QString& text) {
            const std::string bytes = text.toStdString();
            set(settings::runSettings(), bytes);
            settings::RunSettings scratch;
            std::optional<QString> readAs;
            if (set(scratch, bytes))
                readAs = QString::number(static_cast<double>(scratch.*field), 'g', 7);
            showReading(box, text, readAs);
        });
    };
    follow(Text4, settings::setXColumn, &settings::RunSettings::XColumn);
    follow(Text5, settings::setYColumn, &settings::RunSettings::YColumn);
    follow(Text10, settings::setSkipLines, &settings::RunSettings::SkipLines);
    followCoefficient(Text6, settings::setXCoefficient, &settings::RunSettings::XCoefficient);
    followCoefficient(Text7, settings::setYCoefficient, &settings::RunSettings::YCoefficient);
    connect(Option1, &QRadioButton::toggled, [](bool on) {
        if (on)
            settings::runSettings().OutputMode = 1;
    });
    connect(Option2, &QRadioButton::toggled, [](bool on) {
        if (on)
            settings::runSettings().OutputMode = 2;
    });
    // Every change of the box keeps the working files, unticking included; the box stays
    // ticked so that it never shows a state the run does not have.
    connect(Check1, &QCheckBox::toggled, this, [this](bool ticked) {
        settings::runSettings().KeepWorkingFiles = 1;
        if (!ticked)
            Check1->setChecked(true);
    });
    connect(Command2, &QPushButton::clicked, this, &Form1::dataFileOpenClicked);
    connect(Command1, &QPushButton::clicked, this, &Form1::startClicked);
    connect(Command4, &QPushButton::clicked, this, &Form1::exitClicked);
}

void Form1::load()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The frame is not known before the window is shown; centre the client area.
        const QRect whole = screen->geometry();
        move(whole.left() + whole.width() / 2 - width() / 2,
            whole.top() + whole.height() / 2 - height() / 2);
    }
    Text4->setText(QStringLiteral("1"));
    Text5->setText(QStringLiteral("2"));
    Text10->setText(QStringLiteral("0"));
    Text6->setText(QStringLiteral("1"));
    Text7->setText(QStringLiteral("1"));
    for (QLineEdit* box : Text11)
        box->clear();
    Text1->clear();
    for (QLineEdit* box : Text2)
        box->clear();
    Option1->setChecked(true);
    settings::runSettings().OutputMode = 1;
    settings::runSettings().KeepWorkingFiles = 0;
}

void Form1::setPreviewLine(int index, const QString& text)
{
    if (index < 0 || index >= 6)
        return;
    // Show a long line from its start, where the columns begin.
    Text11[index]->setText(text);
    Text11[index]->setCursorPosition(0);
}

void Form1::dataFileOpenClicked()
{
    // During a run the status, the file names and the picture are the run's: a chooser opened
    // meanwhile only picks and previews a file.
    const bool duringRun = m_running;
    if (!duringRun) {
        Text1->clear();
        for (QLineEdit* box : Text2)
            box->clear();
    }
    {
        frmOpenSave chooser(this);
        chooser.setWindowTitle(QStringLiteral("Data File Open"));
        chooser.txtOpenSave->setText(QStringLiteral("*.prn"));
        chooser.txtOpenSave->setSelection(0, 5);
        showChooser(chooser);
    }
    Command1->setEnabled(true);
    if (!duringRun) {
        Picture1->clear();
        // Chosen now or kept from before a cancelled chooser, this is the file "Start" runs.
        const std::string& chosen = settings::runSettings().DataFilePath;
        if (!chosen.empty())
            Text2[0]->setText(QFile::decodeName(QByteArray::fromStdString(chosen)));
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
    Command1->setEnabled(true);
    if (m_running)
        return;
    Text1->clear();
    for (QLineEdit* box : Text2)
        box->clear();
    Picture1->clear();
    Text2[0]->setText(
        QFile::decodeName(QByteArray::fromStdString(settings::runSettings().DataFilePath)));
}

void Form1::startClicked()
{
    // One run at a time: a click that arrives while a run yields is ignored.
    if (m_running)
        return;
    m_running = true;
    m_stopRequested = false;
    WindowRunHost host(*this, yieldInterval);
    // The run reports every failure itself, an unforeseen one included.
    // The files the run writes are named now: a file chosen during the run is for the next.
    const settings::RunSettings atStart = settings::runSettings();
    const run::RunReport report = run::runVarnel(
        host, settings::runSettings(), Text6->text().toStdString(), Text7->text().toStdString());
    // The run ends as soon as it has shown its error, so the box can wait until the run's
    // report says where or why.
    if (host.error) {
        messagePresenter().warningWithDetail(this, QStringLiteral("Error"),
            QString::fromStdString(*host.error),
            QString::fromStdString(run::failureDetailLine(atStart.DataFilePath, report)));
    }
    if (report.outcome == run::RunOutcome::Finished) {
        plot::PlotData plot = host.takePlotData();
        plot.xColumn = atStart.XColumn;
        plot.yColumn = atStart.YColumn;
        plot::readAxisTitles(atStart.DataFilePath, atStart.SkipLines, atStart.XColumn,
            atStart.YColumn, plot.xTitle, plot.yTitle);
        plot::scaleAxisTitles(plot, atStart.XCoefficient, atStart.YCoefficient);
        Picture1->analyseFinishedRun(
            std::move(plot), atStart.DataFilePath, atStart.OutputMode == 2);
    }
    m_running = false;
    if (m_stopRequested)
        endProgram();
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
