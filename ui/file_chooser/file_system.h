#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>

namespace ui {

// What the file chooser needs from the platform: drives, the current drive and folder,
// folder listings and the search for normal files. Paths use "/"; a folder path is absolute
// and clean, and only a drive's root ends in "/".
namespace file_system {

    enum class FailureKind
    {
        NotFound,  // the name names no folder or normal file
        Refused,  // the system refused: no permission, not ready, name too long, I/O error
    };

    // A failed operation, with a description fit for a warning box.
    class Failure : public std::exception
    {
    public:
        Failure(FailureKind kind, const QString& description);
        FailureKind kind() const noexcept;
        const QString& description() const noexcept;
        const char* what() const noexcept override;

    private:
        FailureKind m_kind;
        QString m_description;
        QByteArray m_what;
    };

    // A mounted file system a user would browse, named by its root folder.
    struct Drive
    {
        QString root;  // ends in "/"; empty for no drive

        bool isValid() const
        {
            return !root.isEmpty();
        }

        friend bool operator==(const Drive&, const Drive&) = default;
    };

    // The drives, sorted by root; "/" is always one of them.
    QList<Drive> drives();

    // The drive that holds `path` (made absolute against the current folder).
    Drive driveOf(const QString& path);

    // How the drive lists show a drive: its root path, without the "/" at the end unless it is "/".
    QString displayName(const Drive& drive);

    // The process's current folder. Throws Failure when it has been removed.
    QString currentFolder();

    Drive currentDrive();

    // A drive's own current folder: the process's current folder for the current drive, the
    // folder last made current on it for another, its root for a drive not used yet.
    QString driveFolder(const Drive& drive);

    // Makes `drive` current: the process moves to that drive's own current folder.
    void setCurrentDrive(const Drive& drive);

    // Makes `folder` the current folder of its drive; the process moves there only when that
    // drive is the current one. Throws Failure when `folder` is no folder one can enter.
    void setCurrentFolder(const QString& folder);

    // `path` made absolute against `base` and clean; a drive's root gets its "/" at the end.
    QString normalFolder(const QString& path, const QString& base);

    // The same, a relative `path` taken against the process's current folder.
    QString normalFolder(const QString& path);

    // `folder` and `name` joined by exactly one "/".
    QString joinPath(const QString& folder, const QString& name);

    bool hasWildcards(const QString& text);

    // Whether `name` matches `pattern`: "*" stands for any run of characters, "?" for exactly
    // one; letter case is ignored, as data files often come with upper-case names.
    bool matchesPattern(const QString& name, const QString& pattern);

    bool isFolder(const QString& path);

    // A regular file (a link to one counts) whose name does not start with ".".
    bool isNormalFile(const QString& path);

    // The subfolders of `folder` that are not hidden, sorted. Throws Failure.
    QStringList subfolders(const QString& folder);

    // The names of the normal files of `folder` that match `pattern`, sorted. Throws Failure.
    QStringList normalFiles(const QString& folder, const QString& pattern);

    // Whether a normal file matches `text`, a name or a pattern in its last component taken
    // against the current folder when relative. Throws Failure (Refused) when the search itself
    // fails.
    bool search(const QString& text);

    // Throws Failure unless the file at `path` can be opened and read.
    void checkReadable(const QString& path);

    // Replaces the mounted file systems by `roots` (nullopt restores them) and forgets every
    // drive's current folder, so that tests can make drives of temporary folders.
    void setDriveRootsForTesting(const std::optional<QStringList>& roots);

}  // namespace file_system

}  // namespace ui
