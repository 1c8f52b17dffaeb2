#include "run/file_system.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace run {

namespace {

    class PosixFolder : public FolderListing
    {
    public:
        explicit PosixFolder(DIR* dir)
            : m_dir(dir)
        {
        }

        ~PosixFolder() override
        {
            ::closedir(m_dir);
        }

        PosixFolder(const PosixFolder&) = delete;
        PosixFolder& operator=(const PosixFolder&) = delete;

        const char* next() override
        {
            const dirent* entry = ::readdir(m_dir);
            return entry ? entry->d_name : nullptr;
        }

        int lstatAt(const char* name, struct stat* st) override
        {
            return ::fstatat(::dirfd(m_dir), name, st, AT_SYMLINK_NOFOLLOW);
        }

        int unlinkAt(const char* name) override
        {
            return ::unlinkat(::dirfd(m_dir), name, 0);
        }

    private:
        DIR* m_dir;
    };

    class PosixFileSystem : public FileSystem
    {
    public:
        int open(const char* path, int flags, mode_t mode) override
        {
            return ::open(path, flags, mode);
        }

        int close(int fd) override
        {
            return ::close(fd);
        }

        ssize_t read(int fd, void* buffer, std::size_t size) override
        {
            return ::read(fd, buffer, size);
        }

        ssize_t write(int fd, const void* bytes, std::size_t size) override
        {
            return ::write(fd, bytes, size);
        }

        int fsync(int fd) override
        {
            return ::fsync(fd);
        }

        int fcntl(int fd, int command, int argument) override
        {
            return ::fcntl(fd, command, argument);
        }

        int flock(int fd, int operation) override
        {
            return ::flock(fd, operation);
        }

        int fstat(int fd, struct stat* st) override
        {
            return ::fstat(fd, st);
        }

        int stat(const char* path, struct stat* st) override
        {
            return ::stat(path, st);
        }

        int lstat(const char* path, struct stat* st) override
        {
            return ::lstat(path, st);
        }

        int access(const char* path, int mode) override
        {
            return ::access(path, mode);
        }

        int rename(const char* from, const char* to) override
        {
            return ::rename(from, to);
        }

        int unlink(const char* path) override
        {
            return ::unlink(path);
        }

        long pathconf(const char* path, int name) override
        {
            return ::pathconf(path, name);
        }

        std::unique_ptr<FolderListing> listFolder(const char* path) override
        {
            DIR* const dir = ::opendir(path);
            if (!dir)
                return nullptr;
            return std::make_unique<PosixFolder>(dir);
        }
    };

    PosixFileSystem g_posix;
    std::atomic<FileSystem*> g_current = &g_posix;

}  // namespace

FileSystem& fileSystem()
{
    return *g_current.load(std::memory_order_relaxed);
}

FileSystem* useFileSystem(FileSystem* files)
{
    FileSystem* const before = g_current.exchange(files ? files : &g_posix);
    return before == &g_posix ? nullptr : before;
}

}  // namespace run
