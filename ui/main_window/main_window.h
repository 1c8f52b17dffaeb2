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
// Controls carry the system's names, as members and as objectName.
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

    QPushButton* Command2 = nullptr;  // "Data File Open"
    QPushButton* Command1 = nullptr;  // "Start"
    QPushButton* Command4 = nullptr;  // "Exit"
    QLineEdit* Text1 = nullptr;  // status
    QFrame* Shape3 = nullptr;
    PlotView* Picture1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* Text4 = nullptr;  // X column
    QLineEdit* Text6 = nullptr;  // X coefficient
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Text5 = nullptr;  // Y column
    QLineEdit* Text7 = nullptr;  // Y coefficient
    QLabel* Label12 = nullptr;
    QLineEdit* Text10 = nullptr;  // header lines to skip
    QRadioButton* Option1 = nullptr;  // two output files
    QRadioButton* Option2 = nullptr;  // one output file
    QCheckBox* Check1 = nullptr;  // keep working files
    QLabel* Label14 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2[3] = {};  // data file, output file 1, output file 2
    QLineEdit* Text11[6] = {};  // preview lines
    QLabel* Label22 = nullptr;  // title

protected:
    void closeEvent(QCloseEvent* event) override;
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

    bool m_running = false;
    bool m_stopRequested = false;
};

}  // namespace ui
