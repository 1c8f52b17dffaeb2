#pragma once

#include <cstddef>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>

namespace run {

// A folder being listed, for removing what is in it by name.
class FolderListing
{
public:
    virtual ~FolderListing() = default;

    // The next entry's name ("." and ".." included, as the system lists them); nullptr at the
    // end. Valid until the next call.
    virtual const char* next() = 0;

    // lstat and unlink of an entry, relative to the folder however it is renamed meanwhile.
    virtual int lstatAt(const char* name, struct stat* st) = 0;
    virtual int unlinkAt(const char* name) = 0;
};

// Every file operation of a run: the data file, the run's own files, their locks and the
// files written whole beside a name. Each call does what the POSIX call of its name does,
// returning -1 and setting errno on failure, so that a run is written once against the real
// system and a harness can put another one (in memory) in its place. Calls come per open,
// per buffer read or written, never per line or per value.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    virtual int open(const char* path, int flags, mode_t mode = 0) = 0;
    virtual int close(int fd) = 0;
    virtual ssize_t read(int fd, void* buffer, std::size_t size) = 0;
    virtual ssize_t write(int fd, const void* bytes, std::size_t size) = 0;
    virtual int fsync(int fd) = 0;
    // F_GETFL and F_SETFL.
    virtual int fcntl(int fd, int command, int argument = 0) = 0;
    virtual int flock(int fd, int operation) = 0;
    virtual int fstat(int fd, struct stat* st) = 0;
    virtual int stat(const char* path, struct stat* st) = 0;
    virtual int lstat(const char* path, struct stat* st) = 0;
    virtual int access(const char* path, int mode) = 0;
    virtual int rename(const char* from, const char* to) = 0;
    virtual int unlink(const char* path) = 0;
    // _PC_NAME_MAX.
    virtual long pathconf(const char* path, int name) = 0;
    // nullptr with errno set when the folder cannot be listed.
    virtual std::unique_ptr<FolderListing> listFolder(const char* path) = 0;

    // How many bytes a reader or a writer of the run's files holds at a time: `usual` for a
    // disk, where fewer reads and writes pay; a file system in memory may want fewer.
    virtual std::size_t bufferBytes(std::size_t usual)
    {
        return usual;
    }
};

// The file system the runs of this process use: the real one unless a harness put another in
// its place.
FileSystem& fileSystem();

// Puts `files` in place of the file system (nullptr: the real one again) and returns the one
// it replaces. Only while no run is going on: a run reads it at every operation.
FileSystem* useFileSystem(FileSystem* files);

}  // namespace run
