#include "ui/plot_window/plot_export.h"

#include "analysis/analysis_tables.h"
#include "analysis/run_tables.h"
#include "run/run_driver.h"
#include "run/whole_file.h"
#include "ui/common/message_presenter.h"
#include "ui/plot_window/plot_window.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QSpinBox>

namespace ui {

namespace {

    constexpr int kSmallestSide = 16;

    // What the last picture export chose, offered again to every plot window until the program
    // ends: its size and resolution, its folder and its format's extension.
    struct LastPicture
    {
        std::optional<plot::PictureSize> size;
        QString folder;
        QString extension = QStringLiteral("png");
    };

    LastPicture& lastPicture()
    {
        static LastPicture last;
        return last;
    }

}  // namespace

QString saveExport(const QByteArray& bytes, const QString& path, const std::string& dataFile)
{
    const std::string name = QFile::encodeName(path).toStdString();
    if (!dataFile.empty() && run::sameFile(name, dataFile))
        return QString::fromStdString(name + " is the data file itself; choose another name");
    try {
        run::writeWholeFile(name, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    } catch (const run::RunFailure& failure) {
        return QString::fromStdString(failure.what());
    }
    return {};
}

// ---- PictureSizeDialog ----

PictureSizeDialog::PictureSizeDialog(const plot::PictureSize& suggested, QWidget* parent)
    : QDialog(parent)
    , m_width(new QSpinBox(this))
    , m_height(new QSpinBox(this))
    , m_resolution(new QSpinBox(this))
{
    setObjectName(QStringLiteral("PictureSizeDialog"));
    setWindowTitle(tr("Picture size"));
    for (QSpinBox* box : { m_width, m_height }) {
        box->setRange(kSmallestSide, plot::kLargestPictureSide);
        box->setSuffix(tr(" px"));
    }
    m_width->setObjectName(QStringLiteral("pictureWidth"));
    m_height->setObjectName(QStringLiteral("pictureHeight"));
    m_width->setValue(suggested.pixels.width());
    m_height->setValue(suggested.pixels.height());
    m_resolution->setObjectName(QStringLiteral("pictureResolution"));
    m_resolution->setRange(plot::kLowestPictureResolution, plot::kHighestPictureResolution);
    m_resolution->setSuffix(tr(" dpi"));
    m_resolution->setValue(suggested.dotsPerInch);
    m_resolution->setToolTip(tr("Pixels to the inch: the text and lines grow with it; 96 draws "
                                "them as on the screen"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("&Width:"), m_width);
    layout->addRow(tr("&Height:"), m_height);
    layout->addRow(tr("&Resolution:"), m_resolution);
    layout->addRow(buttons);
}

plot::PictureSize PictureSizeDialog::pictureSize() const
{
    return { { m_width->value(), m_height->value() }, m_resolution->value() };
}

// ---- PlotExporter ----

PlotExporter::PlotExporter(PlotWindow& window)
    : QObject(&window)
    , m_window(window)
{
    askSize = [this](const plot::PictureSize& suggested) -> std::optional<plot::PictureSize> {
        PictureSizeDialog dialog(suggested, &m_window);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.pictureSize();
    };
    askFileName = [this](const QString& title, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(&m_window, title, suggested, filter);
    };
}

QString PlotExporter::suggestedName(const char* suffix) const
{
    std::string base;
    try {
        base = run::runNameBase(m_dataFile);
    } catch (const run::RunFailure&) {
        // No usable base: the plain name.
    }
    return QFile::decodeName((base + suffix).c_str());
}

void PlotExporter::report(const QString& error)
{
    if (!error.isEmpty())
        messagePresenter().warning(&m_window, QStringLiteral("Error"), error);
}

void PlotExporter::exportPicture()
{
    // The last size, resolution, folder and format chosen; at first the plot as on the screen
    // beside the data file.
    LastPicture& last = lastPicture();
    const std::optional<plot::PictureSize> size =
        askSize(last.size.value_or(plot::PictureSize { m_window.plotArea()->size(), 96 }));
    if (!size)
        return;
    last.size = size;
    QString suggested = suggestedName(last.extension.toLatin1().constData());
    if (!last.folder.isEmpty())
        suggested = QDir(last.folder).filePath(QFileInfo(suggested).fileName());
    const QString path = askFileName(tr("Export picture"), suggested,
        tr("Pictures (*.png *.svg *.pdf);;PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    last.folder = QFileInfo(path).absolutePath();
    const std::optional<plot::PictureFormat> format = plot::pictureFormatOf(path);
    if (!format) {
        report(tr("%1: the picture's name must end in .png, .svg or .pdf").arg(path));
        return;
    }
    last.extension = QFileInfo(path).suffix().toLower();
    QString error;
    const QByteArray bytes = plot::pictureFile(
        [this](QPainter& painter, const QRect& target) { m_window.renderView(painter, target); },
        *size, *format, &error);
    if (bytes.isEmpty()) {
        report(QStringLiteral("%1: %2").arg(path, error));
        return;
    }
    report(saveExport(bytes, path, m_dataFile));
}

void PlotExporter::exportCurve()
{
    const QString path = askFileName(
        tr("Export curve CSV"), suggestedName("curve.csv"), tr("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    const run::CurveSides& sides = m_window.data().sides;
    report(saveExport(QByteArray::fromStdString(analysis::curveCsv(sides.positive, sides.negative)),
        path, m_dataFile));
}

}  // namespace ui
