#pragma once

#include "plot/picture_file.h"

#include <QByteArray>
#include <QDialog>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QSpinBox;

namespace ui {

class PlotWindow;

// `bytes` as the file `path`, never over the data file `dataFile` and never through a symbolic
// link (see analysis::replaceFile). Returns an empty string or why it was not written.
QString saveExport(const QByteArray& bytes, const QString& path, const std::string& dataFile);

// Asks for a picture's width and height in pixels and its resolution.
class PictureSizeDialog : public QDialog
{
    Q_OBJECT

public:
    PictureSizeDialog(const plot::PictureSize& suggested, QWidget* parent = nullptr);

    plot::PictureSize pictureSize() const;

    QSpinBox* widthBox() const
    {
        return m_width;
    }

    QSpinBox* heightBox() const
    {
        return m_height;
    }

    QSpinBox* resolutionBox() const
    {
        return m_resolution;
    }

private:
    QSpinBox* m_width;
    QSpinBox* m_height;
    QSpinBox* m_resolution;
};

// The plot window's exports: the view as a picture at a chosen size, the curve as CSV.
class PlotExporter : public QObject
{
    Q_OBJECT

public:
    explicit PlotExporter(PlotWindow& window);

    // The data file of the run shown: no export is written over it, and names are suggested
    // beside it.
    void setDataFile(const std::string& dataFile)
    {
        m_dataFile = dataFile;
    }

    // Asks for the size, then the name, and writes what the plot shows now. The size, the
    // resolution, the folder and the format chosen are offered again until the program ends,
    // in any plot window.
    void exportPicture();
    // Asks for the name and writes both curve sides as one CSV table.
    void exportCurve();

    // Tests replace these so that no dialog blocks. A size dialog, starting at `suggested`;
    // empty when cancelled.
    std::function<std::optional<plot::PictureSize>(const plot::PictureSize& suggested)> askSize;
    // A file dialog; an empty answer cancels.
    std::function<QString(const QString& title, const QString& suggested, const QString& filter)>
        askFileName;

private:
    QString suggestedName(const char* suffix) const;
    void report(const QString& error);

    PlotWindow& m_window;
    std::string m_dataFile;
};

}  // namespace ui
