#pragma once

#include "ui/file_chooser/file_system.h"
#include "ui/file_chooser/list_events.h"

#include <QListWidget>

namespace ui {

// The folder list: the shown folder with its ancestors up to its drive's root, then its
// subfolders. A double-click on an entry shows that folder.
class FolderList : public QListWidget
{
    Q_OBJECT

public:
    explicit FolderList(QWidget* parent = nullptr);

    // The folder shown opened; empty until one is assigned.
    QString Path() const;

    // Shows `folder`; raises Change when it is another folder. Throws file_system::Failure
    // when the folder cannot be read, leaving the list as it was.
    void setPath(const QString& folder);

    // Shows the drive's own current folder.
    void setPath(const file_system::Drive& drive);

    // The folder of the entry at `index`, in the order shown.
    QString folderAt(int index) const;

    ListEvent Change;
    GestureRunner gestureRunner;

private:
    void open(QListWidgetItem* item);

    QString m_path;
};

}  // namespace ui
