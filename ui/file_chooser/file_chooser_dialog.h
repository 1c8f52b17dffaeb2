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

    // The working controls and the folder's path; each comment is the control's objectName.
    QLineEdit* fileNameBox = nullptr;  // txtOpenSave
    QPushButton* okButton = nullptr;  // cmdOpenSave0, the default button
    QPushButton* cancelButton = nullptr;  // cmdOpenSave1; Esc does the same
    QLabel* folderPathLabel = nullptr;  // lblOpenSave2
    DriveList* driveList = nullptr;  // drvOpenSave
    FolderList* folderList = nullptr;  // dirOpenSave
    FileList* fileList = nullptr;  // filOpenSave

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void load();
    void driveChanged();
    void folderChanged();
    void fileListPathChanged();
    void fileListPatternChanged();
    void fileClicked();
    void fileDoubleClicked();
    void fileNameEdited();
    void okClicked();
    void followTypedDrive(const QString& text);

    // Runs what the user set going; a failure is shown in a warning box and the dialog stays
    // open and usable. Returns whether `action` went through.
    bool runUserAction(const std::function<void()>& action) noexcept;
    void warn(const QString& text);

    QLabel* m_fileNameLabel = nullptr;  // lblOpenSave0
    QLabel* m_folderLabel = nullptr;  // lblOpenSave1
    QLabel* m_driveLabel = nullptr;  // lblOpenSave3
};

// Makes the file at `path` the data file as a choice in the "Data File Open" chooser does: the
// same checks, then DataFilePath and the preview. A refusal (a folder, a missing or unreadable
// file) is shown in the chooser's own warning box over `parent` and changes nothing. Returns
// whether the file was chosen.
bool chooseDataFile(QWidget* parent, const QString& path) noexcept;

}  // namespace ui
