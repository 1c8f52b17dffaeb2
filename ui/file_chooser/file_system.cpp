#include "ui/file_chooser/file_system.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace ui {

namespace file_system {

    namespace {

        std::optional<QStringList> g_testRoots;

        // Each drive's own current folder, by root, for the drives that are not current.
        QHash<QString, QString>& driveFolders()
        {
            static QHash<QString, QString> folders;
            return folders;
        }

        QString systemText(int error)
        {
            return QString::fromLocal8Bit(std::strerror(error));
        }

        FailureKind kindOf(int error)
        {
            return error == ENOENT || error == ENOTDIR ? FailureKind::NotFound
                                                       : FailureKind::Refused;
        }

        [[noreturn]] void fail(int error, const QString& what, const QString& path)
        {
            throw Failure(
                kindOf(error), QStringLiteral("%1 \"%2\": %3").arg(what, path, systemText(error)));
        }

        // A path with a NUL in it would be cut short on its way to the system.
        void checkName(const QString& path)
        {
            if (path.contains(QChar(u'\0')))
                throw Failure(FailureKind::Refused,
                    QStringLiteral("Bad file name: %1").arg(systemText(EINVAL)));
        }

        QString rootWithSlash(QString root)
        {
            if (!root.endsWith(u'/'))
                root += u'/';
            return root;
        }

        // Mount points under these hold the system's own file systems, not the user's files.
        bool isSystemMount(const QString& root)
        {
            static const QStringList prefixes = { QStringLiteral("/proc/"), QStringLiteral("/sys/"),
                QStringLiteral("/dev/"), QStringLiteral("/run/"), QStringLiteral("/var/run/"),
                QStringLiteral("/var/lock/"), QStringLiteral("/snap/") };
            return std::any_of(prefixes.begin(), prefixes.end(),
                [&](const QString& prefix) { return root.startsWith(prefix); });
        }

        bool isPseudoFileSystem(const QByteArray& type)
        {
            static const QList<QByteArray> types = { "proc", "sysfs", "devtmpfs", "devpts",
                "cgroup", "cgroup2", "securityfs", "debugfs", "tracefs", "configfs", "fusectl",
                "mqueue", "hugetlbfs", "pstore", "bpf", "autofs", "binfmt_misc", "efivarfs",
                "rpc_pipefs", "nsfs" };
            return types.contains(type);
        }

        bool lessByName(const QString& a, const QString& b)
        {
            const int folded = a.compare(b, Qt::CaseInsensitive);
            return folded != 0 ? folded < 0 : a < b;
        }

        // Whether `path` is `root` or lies below it.
        bool isUnder(const QString& path, const QString& root)
        {
            return path.startsWith(root) || path == root.chopped(1);
        }

        struct DirCloser
        {
            void operator()(DIR* dir) const
            {
                closedir(dir);
            }
        };

        enum class EntryKind
        {
            Folder,
            NormalFile
        };

        // The non-hidden entries of `folder` of one kind, sorted; with a pattern, only the names
        // that match it.
        QStringList listEntries(const QString& folder, EntryKind kind, const QString& pattern)
        {
            checkName(folder);
            const QByteArray encoded = QFile::encodeName(folder);
            std::unique_ptr<DIR, DirCloser> dir(opendir(encoded.constData()));
            if (!dir)
                fail(errno, QStringLiteral("Cannot read the folder"), folder);
            QStringList names;
            for (;;) {
                errno = 0;
                const dirent* entry = readdir(dir.get());
                if (!entry) {
                    if (errno != 0)
                        fail(errno, QStringLiteral("Cannot read the folder"), folder);
                    break;
                }
                if (entry->d_name[0] == '.')
                    continue;
                const QString name = QFile::decodeName(entry->d_name);
                if (kind == EntryKind::NormalFile && !matchesPattern(name, pattern))
                    continue;

                // Links are followed, as a user of the folder expects; a broken one is left out.
                struct stat info
                {
                };

                if (fstatat(dirfd(dir.get()), entry->d_name, &info, 0) != 0)
                    continue;
                const bool wanted =
                    kind == EntryKind::Folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
                if (wanted)
                    names.append(name);
            }
            std::sort(names.begin(), names.end(), lessByName);
            return names;
        }

    }  // namespace

    Failure::Failure(FailureKind kind, const QString& description)
        : m_kind(kind)
        , m_description(description)
        , m_what(description.toUtf8())
    {
    }

    FailureKind Failure::kind() const noexcept
    {
        return m_kind;
    }

    const QString& Failure::description() const noexcept
    {
        return m_description;
    }

    const char* Failure::what() const noexcept
    {
        return m_what.constData();
    }

    QList<Drive> drives()
    {
        QStringList roots;
        if (g_testRoots) {
            roots = *g_testRoots;
        } else {
            for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
                if (!volume.isValid() || !volume.isReady())
                    continue;
                const QString root = rootWithSlash(volume.rootPath());
                if (isSystemMount(root) || isPseudoFileSystem(volume.fileSystemType()))
                    continue;
                roots.append(root);
            }
        }
        QList<Drive> result;
        for (const QString& root : roots) {
            const Drive drive { rootWithSlash(QDir::cleanPath(root)) };
            if (!result.contains(drive))
                result.append(drive);
        }
        if (!result.contains(Drive { QStringLiteral("/") }))
            result.append(Drive { QStringLiteral("/") });
        std::sort(result.begin(), result.end(),
            [](const Drive& a, const Drive& b) { return lessByName(a.root, b.root); });
        return result;
    }

    Drive driveOf(const QString& path)
    {
        QString absolute = path;
        if (!absolute.startsWith(u'/'))
            absolute = currentFolder() + u'/' + absolute;
        absolute = QDir::cleanPath(absolute);
        Drive best;
        for (const Drive& drive : drives()) {
            if (isUnder(absolute, drive.root) && drive.root.size() > best.root.size())
                best = drive;
        }
        return best;
    }

    QString displayName(const Drive& drive)
    {
        return drive.root.size() > 1 && drive.root.endsWith(u'/') ? drive.root.chopped(1)
                                                                  : drive.root;
    }

    QString currentFolder()
    {
        QByteArray buffer(4096, '\0');
        while (!getcwd(buffer.data(), static_cast<size_t>(buffer.size()))) {
            if (errno != ERANGE)
                throw Failure(kindOf(errno),
                    QStringLiteral("The current folder cannot be found: %1")
                        .arg(systemText(errno)));
            buffer.resize(buffer.size() * 2);
        }
        return normalFolder(QFile::decodeName(buffer.constData()), QString());
    }

    Drive currentDrive()
    {
        return driveOf(currentFolder());
    }

    QString driveFolder(const Drive& drive)
    {
        if (drive == currentDrive())
            return currentFolder();
        return driveFolders().value(drive.root, drive.root);
    }

    void setCurrentDrive(const Drive& drive)
    {
        const Drive current = currentDrive();
        if (drive == current)
            return;
        const QString folder = driveFolder(drive);
        checkName(folder);
        const QString left = currentFolder();
        if (chdir(QFile::encodeName(folder).constData()) != 0)
            fail(errno, QStringLiteral("Cannot open the folder"), folder);
        driveFolders().insert(current.root, left);
        driveFolders().remove(drive.root);
    }

    void setCurrentFolder(const QString& folder)
    {
        const QString target = normalFolder(folder, currentFolder());
        checkName(target);
        const QByteArray encoded = QFile::encodeName(target);
        const Drive drive = driveOf(target);
        if (drive == currentDrive()) {
            if (chdir(encoded.constData()) != 0)
                fail(errno, QStringLiteral("Cannot open the folder"), target);
            return;
        }
        // Another drive's folder is only remembered, but it must be one that can be entered.
        if (access(encoded.constData(), X_OK) != 0)
            fail(errno, QStringLiteral("Cannot open the folder"), target);
        if (!isFolder(target))
            fail(ENOTDIR, QStringLiteral("Cannot open the folder"), target);
        driveFolders().insert(drive.root, target);
    }

    QString normalFolder(const QString& path, const QString& base)
    {
        QString absolute = path.startsWith(u'/') || base.isEmpty() ? path : base + u'/' + path;
        absolute = QDir::cleanPath(absolute);
        if (absolute.isEmpty())
            return absolute;
        for (const Drive& drive : drives()) {
            if (absolute == drive.root || absolute + u'/' == drive.root)
                return drive.root;
        }
        return absolute;
    }

    QString normalFolder(const QString& path)
    {
        return normalFolder(path, path.startsWith(u'/') ? QString() : currentFolder());
    }

    QString joinPath(const QString& folder, const QString& name)
    {
        return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
    }

    bool hasWildcards(const QString& text)
    {
        return text.contains(u'*') || text.contains(u'?');
    }

    bool matchesPattern(const QString& name, const QString& pattern)
    {
        const QString n = name.toCaseFolded();
        const QString p = pattern.toCaseFolded();
        // Greedy match with backtracking to the last "*": linear in practice, no recursion.
        qsizetype ni = 0, pi = 0, starP = -1, starN = 0;
        while (ni < n.size()) {
            if (pi < p.size() && (p[pi] == u'?' || (p[pi] != u'*' && p[pi] == n[ni]))) {
                ++ni;
                ++pi;
            } else if (pi < p.size() && p[pi] == u'*') {
                starP = pi++;
                starN = ni;
            } else if (starP >= 0) {
                pi = starP + 1;
                ni = ++starN;
            } else {
                return false;
            }
        }
        while (pi < p.size() && p[pi] == u'*')
            ++pi;
        return pi == p.size();
    }

    bool isFolder(const QString& path)
    {
        if (path.contains(QChar(u'\0')))
            return false;

        struct stat info
        {
        };

        return stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    bool isNormalFile(const QString& path)
    {
        if (path.contains(QChar(u'\0')) || path.section(u'/', -1).startsWith(u'.'))
            return false;

        struct stat info
        {
        };

        return stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
    }

    QStringList subfolders(const QString& folder)
    {
        return listEntries(folder, EntryKind::Folder, QString());
    }

    QStringList normalFiles(const QString& folder, const QString& pattern)
    {
        return listEntries(
            folder, EntryKind::NormalFile, pattern.isEmpty() ? QStringLiteral("*") : pattern);
    }

    bool search(const QString& text)
    {
        checkName(text);
        if (text.isEmpty())
            return false;
        const QString absolute =
            QDir::cleanPath(text.startsWith(u'/') ? text : currentFolder() + u'/' + text);
        const qsizetype slash = absolute.lastIndexOf(u'/');
        const QString folder = slash == 0 ? QStringLiteral("/") : absolute.left(slash);
        const QString name = absolute.mid(slash + 1);
        // Wildcards stand only in the last component; a folder part with one names no folder.
        if (name.isEmpty() || hasWildcards(folder))
            return false;
        if (hasWildcards(name)) {
            try {
                return !normalFiles(folder, name).isEmpty();
            } catch (const Failure& failure) {
                if (failure.kind() == FailureKind::NotFound)
                    return false;
                throw;
            }
        }
        const QString path = joinPath(folder, name);

        struct stat info
        {
        };

        if (stat(QFile::encodeName(path).constData(), &info) != 0) {
            if (kindOf(errno) == FailureKind::NotFound)
                return false;
            fail(errno, QStringLiteral("Cannot search for"), path);
        }
        return isNormalFile(path);
    }

    void checkReadable(const QString& path)
    {
        checkName(path);
        const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            fail(errno, QStringLiteral("Cannot read the file"), path);
        char byte = 0;
        const ssize_t got = read(fd, &byte, 1);
        const int error = errno;
        close(fd);
        if (got < 0)
            fail(error, QStringLiteral("Cannot read the file"), path);
    }

    void setDriveRootsForTesting(const std::optional<QStringList>& roots)
    {
        g_testRoots = roots;
        driveFolders().clear();
    }

}  // namespace file_system

}  // namespace ui
