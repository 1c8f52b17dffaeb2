#include "run/whole_file.h"

#include "run/file_system.h"
#include "run/run_driver.h"
#include "run/run_failure.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace run {

namespace {

    // Tells apart the temporary files of the jobs and exports that write at the same time.
    std::atomic<unsigned> g_temporaryCount = 0;

    // The folder part of a path as spelt, with its slash ("" for a name in the current folder).
    std::string folderPart(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }

    std::string lastPart(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

    std::string folderOf(const std::string& path)
    {
        const std::string folder = folderPart(path);
        return folder.empty() ? std::string(".") : folder;
    }

    long nameMax(const std::string& path)
    {
        const long max = fileSystem().pathconf(folderOf(path).c_str(), _PC_NAME_MAX);
        return max > 0 ? max : NAME_MAX;
    }

    [[noreturn]] void throwLink(const std::string& path)
    {
        throw RunFailure(FailureCode::PathFileAccessError,
            path + ": is a symbolic link; not written through it");
    }

    void refuseLink(const std::string& path)
    {
        struct stat st
        {
        };

        if (fileSystem().lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            throwLink(path);
    }

    void refuseProtected(const std::string& path, const std::vector<std::string>& protectedFiles)
    {
        for (const std::string& file : protectedFiles)
            if (sameFile(file, path))
                throw RunFailure(FailureCode::PathFileAccessError,
                    path + " would replace the data file " + file);
    }

    // Writes all of `bytes` to `fd`, then to the disk; 0 or the errno.
    int writeAll(int fd, std::string_view bytes)
    {
        FileSystem& files = fileSystem();
        const char* at = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t n = files.write(fd, at, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            at += n;
            left -= static_cast<std::size_t>(n);
        }
        return files.fsync(fd) == 0 ? 0 : errno;
    }

}  // namespace

namespace {

    constexpr std::string_view kTemporaryMark = ".varnel-";
    constexpr std::string_view kTemporaryEnd = ".part";

    // The part of a name's last component that its temporary name holds: all of it, or as much
    // as leaves room for the suffix.
    std::string_view temporaryStem(std::string_view last, long nameMax, std::size_t suffix)
    {
        const long room = nameMax - 1 - static_cast<long>(suffix);
        if (room > 0 && static_cast<long>(last.size()) > room)
            return last.substr(0, static_cast<std::size_t>(room));
        return last;
    }

    bool allDigits(std::string_view text)
    {
        return !text.empty()
            && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    }

}  // namespace

std::string temporaryNameBeside(const std::string& path)
{
    const std::string suffix = std::string(kTemporaryMark) + std::to_string(::getpid()) + "-"
        + std::to_string(g_temporaryCount.fetch_add(1)) + std::string(kTemporaryEnd);
    // A long name is shortened in its temporary name, so that every name the file system takes
    // can be written whole.
    return folderPart(path) + "."
        + std::string(temporaryStem(lastPart(path), nameMax(path), suffix.size())) + suffix;
}

void removeLeftoverTemporaries(const std::vector<std::string>& names)
{
    std::map<std::string, std::vector<std::string>> byFolder;
    for (const std::string& name : names)
        byFolder[folderOf(name)].push_back(lastPart(name));
    for (const auto& [folder, lasts] : byFolder) {
        const std::unique_ptr<FolderListing> listing = fileSystem().listFolder(folder.c_str());
        if (!listing)
            continue;
        const long max = nameMax(folder + "/x");
        while (const char* const entry = listing->next()) {
            const std::string_view name(entry);
            if (!name.starts_with('.') || !name.ends_with(kTemporaryEnd))
                continue;
            // ".<stem>.varnel-<pid>-<n>.part"
            const std::size_t mark = name.rfind(kTemporaryMark);
            if (mark == std::string_view::npos || mark == 0)
                continue;
            const std::string_view numbers = name.substr(mark + kTemporaryMark.size(),
                name.size() - mark - kTemporaryMark.size() - kTemporaryEnd.size());
            const std::size_t dash = numbers.find('-');
            if (dash == std::string_view::npos || !allDigits(numbers.substr(0, dash))
                || !allDigits(numbers.substr(dash + 1)) || dash > 9)
                continue;
            const std::string_view stem = name.substr(1, mark - 1);
            const std::size_t suffix = name.size() - mark;
            if (std::none_of(lasts.begin(), lasts.end(), [&](const std::string& last) {
                    return temporaryStem(last, max, suffix) == stem;
                }))
                continue;
            int pid = 0;
            std::from_chars(numbers.data(), numbers.data() + dash, pid);
            // A process that runs (or that this one may not signal) may still be writing it.
            if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH)
                continue;

            struct stat st
            {
            };

            if (listing->lstatAt(entry, &st) == 0 && S_ISREG(st.st_mode))
                listing->unlinkAt(entry);
        }
    }
}

PendingFile::PendingFile(
    std::string path, std::string_view bytes, const std::vector<std::string>& protectedFiles)
    : m_path(std::move(path))
    , m_protected(protectedFiles)
{
    refuseLink(m_path);
    refuseProtected(m_path, m_protected);
    FileSystem& files = fileSystem();
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        m_temporary = temporaryNameBeside(m_path);
        // A new file with the usual permissions (the umask applies).
        fd = files.open(
            m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        m_temporary.clear();
        throw RunFailure(failureFromErrno(error, m_path, true),
            "cannot make a file beside " + m_path + ": " + std::strerror(error));
    }
    const int writeError = writeAll(fd, bytes);
    const int closeError = files.close(fd) == 0 ? 0 : errno;
    if (writeError != 0 || closeError != 0) {
        const int error = writeError != 0 ? writeError : closeError;
        // No destructor runs for an object that was never made.
        files.unlink(m_temporary.c_str());
        throw RunFailure(failureFromErrno(error, m_path, true),
            "cannot write " + m_path + ": " + std::strerror(error));
    }
}

PendingFile::~PendingFile()
{
    if (!m_committed && !m_temporary.empty())
        fileSystem().unlink(m_temporary.c_str());
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_path(std::move(other.m_path))
    , m_temporary(std::move(other.m_temporary))
    , m_protected(std::move(other.m_protected))
    , m_committed(other.m_committed)
{
    other.m_temporary.clear();
}

void PendingFile::commit()
{
    if (m_committed || m_temporary.empty())
        return;
    // Checked again just before the name is taken: a link or a data file that appeared
    // meanwhile is not replaced.
    refuseLink(m_path);
    refuseProtected(m_path, m_protected);
    if (fileSystem().rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        throw RunFailure(failureFromErrno(error, m_path, true),
            "cannot write " + m_path + ": " + std::strerror(error));
    }
    m_committed = true;
}

void writeWholeFile(
    const std::string& path, std::string_view bytes, const std::vector<std::string>& protectedFiles)
{
    PendingFile file(path, bytes, protectedFiles);
    file.commit();
}

std::optional<NameProblem> nameProblem(
    const std::string& path, const std::vector<std::string>& protectedFiles)
{
    for (const std::string& file : protectedFiles)
        if (sameFile(file, path))
            return NameProblem { FailureCode::PathFileAccessError,
                "it would replace the data file " + file };

    struct stat st
    {
    };

    const auto problem = [&](int error) {
        return NameProblem { failureFromErrno(error, path, true), std::strerror(error) };
    };
    FileSystem& files = fileSystem();
    if (files.lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode))
            return NameProblem { FailureCode::PathFileAccessError,
                "is a symbolic link; nothing is written through it" };
        if (!S_ISREG(st.st_mode))
            return problem(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    const std::string folder = folderOf(path);
    if (files.stat(folder.c_str(), &st) != 0)
        return problem(errno);
    if (!S_ISDIR(st.st_mode))
        return problem(ENOTDIR);
    if (files.access(folder.c_str(), W_OK | X_OK) != 0)
        return problem(errno);
    if (static_cast<long>(lastPart(path).size()) > nameMax(path))
        return problem(ENAMETOOLONG);
    return std::nullopt;
}

}  // namespace run
