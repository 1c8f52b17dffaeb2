#include "run/run_lock.h"

#include "run/file_system.h"
#include "run/run_failure.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace run {

namespace {

    // A run that finishes in one-file mode unlinks its positive file while holding the lock: a
    // second run that opened the old file may get the lock once the first lets go of it, on a
    // file that no longer has the name. Such a lock guards nothing, so the open is tried again.
    constexpr int kAttempts = 8;

    bool stillNamed(int fd, const std::string& path)
    {
        struct stat held
        {
        };

        struct stat named
        {
        };

        FileSystem& files = fileSystem();
        return files.fstat(fd, &held) == 0 && files.lstat(path.c_str(), &named) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }

    [[noreturn]] void throwInUse(const std::string& path)
    {
        throw RunFailure(
            FailureCode::PathFileAccessError, path + ": the files are in use by another run");
    }

}  // namespace

RunLock::RunLock(const std::string& positivePath)
    : m_path(positivePath)
{
    FileSystem& files = fileSystem();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Non-blocking so that a FIFO without a reader fails instead of hanging the run.
        const int fd = files.open(
            positivePath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
        if (fd < 0)
            throwOwnFileFailure(errno, positivePath, true);
        int locked = 0;
        do
            locked = files.flock(fd, LOCK_EX | LOCK_NB);
        while (locked != 0 && errno == EINTR);
        if (locked != 0 && errno == EWOULDBLOCK) {
            files.close(fd);
            throwInUse(positivePath);
        }
        // On a file system without locks the run goes on unguarded, as it always could.
        if (locked != 0 || stillNamed(fd, positivePath)) {
            m_fd = fd;
            return;
        }
        files.close(fd);
    }
    throwInUse(positivePath);
}

RunLock::~RunLock()
{
    try {
        release();
    } catch (const RunFailure&) {
        // Nothing is left to tell: the file stays as a failed removal leaves it.
    }
}

void RunLock::renameInto(const std::string& temporaryPath)
{
    FileSystem& files = fileSystem();
    const int fd = files.open(temporaryPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        throwFileFailure(errno, m_path, false);
    // Locked before it has the name: a second run that opens the name then finds it held. The
    // file is new, so the lock cannot be refused; a file system without locks goes unguarded.
    files.flock(fd, LOCK_EX | LOCK_NB);
    if (files.rename(temporaryPath.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        files.close(fd);
        throwFileFailure(error, m_path, true);
    }
    if (m_fd >= 0)
        files.close(m_fd);
    m_fd = fd;
}

void RunLock::release()
{
    if (m_fd < 0)
        return;
    int error = 0;
    FileSystem& files = fileSystem();
    // Only the file the lock is on: a name that meanwhile went to another file is left alone.
    if (m_removeWhenReleased && stillNamed(m_fd, m_path) && files.unlink(m_path.c_str()) != 0)
        error = errno;
    files.close(m_fd);
    m_fd = -1;
    if (error != 0)
        throwFileFailure(error, m_path, false);
}

}  // namespace run
