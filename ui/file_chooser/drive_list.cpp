#include "ui/file_chooser/drive_list.h"

namespace ui {

DriveList::DriveList(QWidget* parent)
    : QComboBox(parent)
    , m_drives(file_system::drives())
{
    for (const file_system::Drive& drive : m_drives)
        addItem(file_system::displayName(drive));
    setCurrentIndex(-1);
    connect(this, &QComboBox::activated, this, &DriveList::pick);
}

file_system::Drive DriveList::Drive() const
{
    return m_drive;
}

void DriveList::setDrive(const QString& path)
{
    const file_system::Drive drive = file_system::driveOf(path);
    if (drive == m_drive)
        return;
    select(drive);
    raiseEvent(Change);
}

void DriveList::showDriveOf(const QString& path)
{
    try {
        select(file_system::driveOf(path));
    } catch (const file_system::Failure&) {
        // Without a current folder to resolve against, the list stays as it is.
    }
}

void DriveList::select(const file_system::Drive& drive)
{
    // A drive mounted after the list was filled is added, so that the list can show it.
    qsizetype index = m_drives.indexOf(drive);
    if (index < 0 && drive.isValid()) {
        m_drives.append(drive);
        addItem(file_system::displayName(drive));
        index = m_drives.size() - 1;
    }
    m_drive = drive;
    setCurrentIndex(static_cast<int>(index));
}

void DriveList::pick(int index)
{
    if (index < 0 || index >= m_drives.size() || m_drives[index] == m_drive)
        return;
    m_drive = m_drives[index];
    runGesture(gestureRunner, [this] { raiseEvent(Change); });
}

}  // namespace ui
