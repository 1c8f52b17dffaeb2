#include "ui/plot_window/plot_export.h"

#include "analysis/analysis_tables.h"
#include "analysis/run_tables.h"
#include "run/run_driver.h"
#include "run/whole_file.h"
#include "ui/common/message_presenter.h"
#include "ui/plot_window/plot_window.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSpinBox>
#include <QSvgGenerator>

#include <cmath>

namespace ui {

namespace {

    // A picture of at most 64 M pixels (256 MB as an image): enough for any report or poster.
    constexpr int kLargestSide = 8192;
    constexpr int kSmallestSide = 16;
    // From a coarse preview to print.
    constexpr int kLowestResolution = 48;
    constexpr int kHighestResolution = 1200;

    bool hasExtension(const QString& path, const char* extension)
    {
        return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
    }

    void setError(QString* error, const QString& text)
    {
        if (error)
            *error = text;
    }

}  // namespace

std::optional<PictureFormat> pictureFormatOf(const QString& path)
{
    if (hasExtension(path, ".png"))
        return PictureFormat::Png;
    if (hasExtension(path, ".svg"))
        return PictureFormat::Svg;
    if (hasExtension(path, ".pdf"))
        return PictureFormat::Pdf;
    return std::nullopt;
}

QByteArray pictureFile(
    const PictureDrawing& draw, const PictureSize& picture, PictureFormat format, QString* error)
{
    const QSize size = picture.pixels;
    const int dpi = picture.dotsPerInch;
    if (dpi < kLowestResolution || dpi > kHighestResolution) {
        setError(error,
            QStringLiteral("a picture has %1 to %2 pixels to the inch, not %3")
                .arg(kLowestResolution)
                .arg(kHighestResolution)
                .arg(dpi));
        return {};
    }
    if (size.width() < 1 || size.height() < 1 || size.width() > kLargestSide
        || size.height() > kLargestSide) {
        setError(error,
            QStringLiteral("a picture is 1 to %1 pixels wide and high, not %2 × %3")
                .arg(kLargestSide)
                .arg(size.width())
                .arg(size.height()));
        return {};
    }
    const QRect target(QPoint(0, 0), size);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PictureFormat::Png: {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) {
            setError(error,
                QStringLiteral("not enough memory for a picture of %1 × %2 pixels")
                    .arg(size.width())
                    .arg(size.height()));
            return {};
        }
        image.fill(Qt::white);
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        {
            QPainter painter(&image);
            draw(painter, target);
        }
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) {
            setError(error, writer.errorString());
            return {};
        }
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(dpi);
        svg.setSize(size);
        svg.setViewBox(target);
        svg.setTitle(QStringLiteral("Varnel curve"));
        // One painter for the whole picture: each painter on the generator starts a document.
        QPainter painter(&svg);
        draw(painter, target);
        break;
    }
    case PictureFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Varnel"));
        pdf.setTitle(QStringLiteral("Varnel curve"));
        pdf.setResolution(dpi);
        const QSizeF points = QSizeF(size) * 72.0 / dpi;
        pdf.setPageLayout(
            QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&pdf);
        draw(painter, target);
        break;
    }
    }
    buffer.close();
    if (buffer.data().isEmpty())
        setError(error, QStringLiteral("the picture could not be made"));
    return buffer.data();
}

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

PictureSizeDialog::PictureSizeDialog(const PictureSize& suggested, QWidget* parent)
    : QDialog(parent)
    , m_width(new QSpinBox(this))
    , m_height(new QSpinBox(this))
    , m_resolution(new QSpinBox(this))
{
    setObjectName(QStringLiteral("PictureSizeDialog"));
    setWindowTitle(tr("Picture size"));
    for (QSpinBox* box : { m_width, m_height }) {
        box->setRange(kSmallestSide, kLargestSide);
        box->setSuffix(tr(" px"));
    }
    m_width->setObjectName(QStringLiteral("pictureWidth"));
    m_height->setObjectName(QStringLiteral("pictureHeight"));
    m_width->setValue(suggested.pixels.width());
    m_height->setValue(suggested.pixels.height());
    m_resolution->setObjectName(QStringLiteral("pictureResolution"));
    m_resolution->setRange(kLowestResolution, kHighestResolution);
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

PictureSize PictureSizeDialog::pictureSize() const
{
    return { { m_width->value(), m_height->value() }, m_resolution->value() };
}

// ---- PlotExporter ----

PlotExporter::PlotExporter(PlotWindow& window)
    : QObject(&window)
    , m_window(window)
{
    askSize = [this](const PictureSize& suggested) -> std::optional<PictureSize> {
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
    // The plot as on the screen, at the last resolution chosen.
    const std::optional<PictureSize> size = askSize({ m_window.plotArea()->size(), m_resolution });
    if (!size)
        return;
    m_resolution = size->dotsPerInch;
    const QString path = askFileName(tr("Export picture"), suggestedName("png"),
        tr("Pictures (*.png *.svg *.pdf);;PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    const std::optional<PictureFormat> format = pictureFormatOf(path);
    if (!format) {
        report(tr("%1: the picture's name must end in .png, .svg or .pdf").arg(path));
        return;
    }
    QString error;
    const QByteArray bytes = pictureFile(
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
