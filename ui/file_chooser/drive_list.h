#pragma once

#include "ui/file_chooser/file_system.h"
#include "ui/file_chooser/list_events.h"

#include <QComboBox>

namespace ui {

// The drive list: the mounted file systems, one selected.
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget* parent = nullptr);

    // The selected drive; invalid until one is selected.
    file_system::Drive Drive() const;

    // Selects the drive that holds `path`; raises Change when that is another drive.
    void setDrive(const QString& path);

    // Selects the drive that holds `path` without raising Change: puts the list back in
    // step with the folder shown after a failed move.
    void showDriveOf(const QString& path);

    ListEvent Change;
    GestureRunner gestureRunner;

private:
    void select(const file_system::Drive& drive);
    void pick(int index);

    QList<file_system::Drive> m_drives;
    file_system::Drive m_drive;
};

}  // namespace ui
