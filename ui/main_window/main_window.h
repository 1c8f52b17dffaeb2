#pragma once

#include "ui/common/data_file_preview.h"

#include <QList>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ui {
class frmOpenSave;
class PlotView;

// The program's only main window: the run settings, "Data File Open", "Start", "Exit", the
// status and file-name boxes, the preview lines and the picture box a run draws in.
// Controls carry the system's names as objectName; the members say what they are.
class Form1 : public QWidget, public PreviewTarget
{
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    void setPreviewLine(int index, const QString& text) override;

    // Shows the chooser modally and returns when it has closed. Tests replace it to drive
    // the dialog without blocking in exec().
    std::function<void(frmOpenSave&)> showChooser;

    // Ends the program. Tests replace it so that the test program goes on.
    std::function<void()> endProgram;

    // A run lets the window process its events at most this often, so that event processing
    // does not slow a long record.
    std::chrono::milliseconds yieldInterval { 15 };

    bool runInProgress() const
    {
        return m_running;
    }

    // True once "Exit" or closing the window was asked during a run: the run stops at its
    // next yield.
    bool stopRequested() const
    {
        return m_stopRequested;
    }

    // The controls that tests and the run use; each comment is the control's objectName.
    QPushButton* dataFileOpenButton = nullptr;  // Command2
    QPushButton* startButton = nullptr;  // Command1
    QPushButton* exitButton = nullptr;  // Command4
    QLineEdit* statusBox = nullptr;  // Text1
    PlotView* pictureBox = nullptr;  // Picture1
    QLineEdit* xColumnBox = nullptr;  // Text4
    QLineEdit* xCoefficientBox = nullptr;  // Text6
    QLineEdit* yColumnBox = nullptr;  // Text5
    QLineEdit* yCoefficientBox = nullptr;  // Text7
    QLineEdit* skipLinesBox = nullptr;  // Text10
    QRadioButton* twoFilesOption = nullptr;  // Option1
    QRadioButton* oneFileOption = nullptr;  // Option2
    QCheckBox* keepWorkingFilesBox = nullptr;  // Check1
    QLineEdit* fileNameBoxes[3] = {};  // Text20..Text22: data file, output file 1, output file 2
    QLineEdit* previewLines[6] = {};  // Text110..Text115

protected:
    void closeEvent(QCloseEvent* event) override;
    // Notes whether a press on "Start" came during a run.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void chainTabOrder();
    void connectHandlers();
    void load();

    void dataFileOpenClicked();
    void dataFileDropped(const QList<QUrl>& urls);
    void startClicked();
    void exitClicked();
    // Names, above the controls, each settings box whose text is read other than it shows.
    void showReadingNote();

    // The panels and labels, which only show; each comment is the control's objectName.
    QFrame* m_settingsPanel = nullptr;  // Shape3
    QLabel* m_dataFilePanel = nullptr;  // Label14
    QLabel* m_xAxisLabel = nullptr;  // Label5
    QLabel* m_xColumnLabel = nullptr;  // Label4
    QLabel* m_xCoefficientLabel = nullptr;  // Label8
    QLabel* m_yAxisLabel = nullptr;  // Label6
    QLabel* m_yColumnLabel = nullptr;  // Label7
    QLabel* m_yCoefficientLabel = nullptr;  // Label9
    QLabel* m_skipLinesLabel = nullptr;  // Label12
    QLabel* m_dataFileLabel = nullptr;  // Label1
    QLabel* m_outputFile1Label = nullptr;  // Label3
    QLabel* m_outputFile2Label = nullptr;  // Label2
    QLabel* m_titleLabel = nullptr;  // Label22
    QLabel* m_readingNote = nullptr;  // readingNote, the project's own

    bool m_running = false;
    bool m_stopRequested = false;
    // The last press on "Start" (mouse or key) came during a run: its click starts nothing.
    bool m_startPressedDuringRun = false;
};

}  // namespace ui
