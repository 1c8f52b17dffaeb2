#pragma once

#include "ui/file_chooser/drive_list.h"
#include "ui/file_chooser/file_list.h"
#include "ui/file_chooser/folder_list.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

// The program's own modal file chooser. Construction runs the load step: the dialog opens in
// the process's current folder with the pattern "*.prn" and "OK" disabled. A choice stores
// the file's full path in DataFilePath, previews it when the caption is "Data File Open", and
// closes the dialog; every other way of closing it changes nothing.
class frmOpenSave : public QDialog
{
    Q_OBJECT

public:
    explicit frmOpenSave(QWidget* parent = nullptr);

    QLineEdit* txtOpenSave = nullptr;  // the file-name box
    QPushButton* cmdOpenSave[2] = {};  // 0 "OK" (default button), 1 "Cancel" (Esc)
    QLabel* lblOpenSave[4] = {};
    DriveList* drvOpenSave = nullptr;
    FolderList* dirOpenSave = nullptr;
    FileList* filOpenSave = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void drvOpenSave_Change();
    void dirOpenSave_Change();
    void filOpenSave_PathChange();
    void filOpenSave_PatternChange();
    void filOpenSave_Click();
    void filOpenSave_DblClick();
    void txtOpenSave_Change();
    void cmdOpenSave_Click(int index);
    void okClicked();
    void followTypedDrive(const QString& text);

    // Runs what the user set going; a failure is shown in a warning box and the dialog stays
    // open and usable. Returns whether `action` went through.
    bool runUserAction(const std::function<void()>& action) noexcept;
    void warn(const QString& text);
};

// Makes the file at `path` the data file as a choice in the "Data File Open" chooser does: the
// same checks, then DataFilePath and the preview. A refusal (a folder, a missing or unreadable
// file) is shown in the chooser's own warning box over `parent` and changes nothing. Returns
// whether the file was chosen.
bool chooseDataFile(QWidget* parent, const QString& path) noexcept;

}  // namespace ui
