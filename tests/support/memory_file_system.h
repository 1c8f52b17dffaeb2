#pragma once

// A file system held in memory, put in place of the real one (run::useFileSystem) so that a
// whole run goes without the disk: folders and regular files, open files with their offsets,
// flock, rename and unlink of open files as POSIX has them. No links, owners or permissions.
// It can also hand over reads and take writes in short pieces, and fail one chosen call, so
// that a harness reaches the loops and the error paths that a real disk seldom takes.

#include "run/file_system.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <vector>

class MemoryFileSystem : public run::FileSystem
{
public:
    // The calls that fail() counts: those a full or failing disk can make fail.
    enum class Call
    {
        Open,
        Read,
        Write,
        Fsync,
        Close,
        Flock,
        Rename,
        Unlink,
    };

    MemoryFileSystem()
    {
        m_names["/"] = newNode(true);
    }

    // A folder, with the folders above it.
    void addFolder(const std::string& path)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::string at;
        for (const std::string& part : parts(path)) {
            at += "/" + part;
            if (!m_names.count(at))
                m_names[at] = newNode(true);
        }
    }

    // A regular file holding `bytes`; its folder must be there.
    void addFile(const std::string& path, std::string_view bytes)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        auto node = newNode(false);
        node->bytes.assign(bytes);
        m_names[normal(path)] = std::move(node);
    }

    // Every regular file by its path.
    std::map<std::string, std::string> files() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::map<std::string, std::string> result;
        for (const auto& [name, node] : m_names)
            if (!node->folder)
                result[name] = node->bytes;
        return result;
    }

    // The bytes of the file at `path`; empty when there is none.
    std::string bytesOf(const std::string& path) const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_names.find(normal(path));
        return it == m_names.end() || it->second->folder ? std::string() : it->second->bytes;
    }

    // How many files are open, and how many of them hold a lock.
    std::size_t openFiles() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_open.size();
    }

    std::size_t locks() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::size_t held = 0;
        for (const auto& [fd, file] : m_open)
            held += file.node->lockedBy == fd ? 1u : 0u;
        return held;
    }

    // Reads hand over, and writes take, at most this many bytes a call (at least one).
    void setPieces(std::size_t readMost, std::size_t writeMost)
    {
        m_readMost = readMost == 0 ? 1 : readMost;
        m_writeMost = writeMost == 0 ? 1 : writeMost;
    }

    // Readers and writers hold this many bytes (what bufferBytes answers; 0: as on a disk).
    void setBuffers(std::size_t bytes)
    {
        m_bufferBytes = bytes;
    }

    std::size_t bufferBytes(std::size_t usual) override
    {
        return m_bufferBytes == 0 ? usual : m_bufferBytes;
    }

    // The `n`-th (from 1) of the counted calls fails with `error`; 0: none fails.
    void failCall(std::uint64_t n, int error)
    {
        m_failAt = n;
        m_failError = error;
        m_calls = 0;
        m_failedDone = false;
    }

    // Which call failed, if one did.
    bool failed(Call* call = nullptr) const
    {
        if (call)
            *call = m_failedCall;
        return m_failedDone;
    }

    int open(const char* path, int flags, mode_t) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const std::string name = normal(path);
        if (const int error = checkName(name))
            return fail(error);
        if (injected(Call::Open))
            return -1;
        const int access = flags & O_ACCMODE;
        auto it = m_names.find(name);
        std::shared_ptr<Node> node;
        if (it != m_names.end()) {
            node = it->second;
            if ((flags & O_CREAT) && (flags & O_EXCL))
                return fail(EEXIST);
            if (node->folder && access != O_RDONLY)
                return fail(EISDIR);
            if ((flags & O_TRUNC) && access != O_RDONLY)
                node->bytes.clear();
        } else {
            if (!(flags & O_CREAT))
                return fail(ENOENT);
            node = newNode(false);
            m_names[name] = node;
        }
        const int fd = m_nextFd++;
        m_open[fd] = OpenFile { node, 0, flags };
        return fd;
    }

    int close(int fd) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        OpenFile* file = find(fd);
        if (!file)
            return fail(EBADF);
        if (file->node->lockedBy == fd)
            file->node->lockedBy = -1;
        m_open.erase(fd);
        // A failing close closes all the same.
        return injected(Call::Close) ? -1 : 0;
    }

    ssize_t read(int fd, void* buffer, std::size_t size) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        OpenFile* file = find(fd);
        if (!file || (file->flags & O_ACCMODE) == O_WRONLY)
            return fail(EBADF);
        if (file->node->folder)
            return fail(EISDIR);
        if (injected(Call::Read))
            return -1;
        const std::string& bytes = file->node->bytes;
        if (file->at >= bytes.size())
            return 0;
        const std::size_t n = std::min({ size, m_readMost, bytes.size() - file->at });
        std::memcpy(buffer, bytes.data() + file->at, n);
        file->at += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(int fd, const void* bytes, std::size_t size) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        OpenFile* file = find(fd);
        if (!file || (file->flags & O_ACCMODE) == O_RDONLY)
            return fail(EBADF);
        if (injected(Call::Write))
            return -1;
        const std::size_t n = std::min(size, m_writeMost);
        std::string& content = file->node->bytes;
        if (content.size() < file->at + n)
            content.resize(file->at + n);
        content.replace(file->at, n, static_cast<const char*>(bytes), n);
        file->at += n;
        return static_cast<ssize_t>(n);
    }

    int fsync(int fd) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!find(fd))
            return fail(EBADF);
        return injected(Call::Fsync) ? -1 : 0;
    }

    int fcntl(int fd, int command, int argument) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        OpenFile* file = find(fd);
        if (!file)
            return fail(EBADF);
        if (command == F_GETFL)
            return file->flags;
        if (command != F_SETFL)
            return fail(EINVAL);
        file->flags = (file->flags & ~O_NONBLOCK) | (argument & O_NONBLOCK);
        return 0;
    }

    int flock(int fd, int operation) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        OpenFile* file = find(fd);
        if (!file)
            return fail(EBADF);
        if (injected(Call::Flock))
            return -1;
        Node& node = *file->node;
        if (operation & LOCK_UN) {
            if (node.lockedBy == fd)
                node.lockedBy = -1;
            return 0;
        }
        if (node.lockedBy >= 0 && node.lockedBy != fd)
            return fail(EWOULDBLOCK);
        node.lockedBy = fd;
        return 0;
    }

    int fstat(int fd, struct stat* st) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const OpenFile* file = find(fd);
        if (!file)
            return fail(EBADF);
        describe(*file->node, st);
        return 0;
    }

    int stat(const char* path, struct stat* st) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Names::iterator it;
        if (const int error = existing(path, it))
            return fail(error);
        describe(*it->second, st);
        return 0;
    }

    int lstat(const char* path, struct stat* st) override
    {
        return stat(path, st);
    }

    int access(const char* path, int) override
    {
        struct stat st
        {
        };

        return stat(path, &st);
    }

    int rename(const char* from, const char* to) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const std::string source = normal(from);
        const std::string target = normal(to);
        for (const std::string* name : { &source, &target })
            if (const int error = checkName(*name))
                return fail(error);
        const auto it = m_names.find(source);
        if (it == m_names.end())
            return fail(ENOENT);
        if (it->second->folder)
            return fail(EXDEV);  // not needed by any run
        const auto there = m_names.find(target);
        if (there != m_names.end() && there->second->folder)
            return fail(EISDIR);
        if (injected(Call::Rename))
            return -1;
        if (source == target)
            return 0;
        std::shared_ptr<Node> node = it->second;
        m_names.erase(it);
        m_names[target] = std::move(node);
        return 0;
    }

    int unlink(const char* path) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Names::iterator it;
        if (const int error = existing(path, it))
            return fail(error);
        if (it->second->folder)
            return fail(EISDIR);
        if (injected(Call::Unlink))
            return -1;
        m_names.erase(it);
        return 0;
    }

    long pathconf(const char* path, int) override
    {
        struct stat st
        {
        };

        return stat(path, &st) == 0 ? NAME_MAX : -1;
    }

    std::unique_ptr<run::FolderListing> listFolder(const char* path) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const std::string name = normal(path);
        const auto it = m_names.find(name);
        if (it == m_names.end())
            return noListing(ENOENT);
        if (!it->second->folder)
            return noListing(ENOTDIR);
        auto listing = std::make_unique<Listing>(*this, name);
        listing->names = { ".", ".." };
        const std::string prefix = name == "/" ? name : name + "/";
        for (auto child = m_names.upper_bound(prefix);
             child != m_names.end() && child->first.starts_with(prefix); ++child)
            if (child->first.find('/', prefix.size()) == std::string::npos)
                listing->names.push_back(child->first.substr(prefix.size()));
        return listing;
    }

private:
    struct Node
    {
        bool folder = false;
        std::string bytes;
        ino_t inode = 0;
        int lockedBy = -1;  // the open file holding the lock
    };

    using Names = std::map<std::string, std::shared_ptr<Node>>;

    struct OpenFile
    {
        std::shared_ptr<Node> node;
        std::size_t at = 0;
        int flags = 0;
    };

    class Listing : public run::FolderListing
    {
    public:
        Listing(MemoryFileSystem& files, std::string folder)
            : m_files(files)
            , m_folder(std::move(folder))
        {
        }

        const char* next() override
        {
            return m_next < names.size() ? names[m_next++].c_str() : nullptr;
        }

        int lstatAt(const char* name, struct stat* st) override
        {
            return m_files.lstat((m_folder + "/" + name).c_str(), st);
        }

        int unlinkAt(const char* name) override
        {
            return m_files.unlink((m_folder + "/" + name).c_str());
        }

        std::vector<std::string> names;

    private:
        MemoryFileSystem& m_files;
        std::string m_folder;
        std::size_t m_next = 0;
    };

    static std::vector<std::string> parts(std::string_view path)
    {
        std::vector<std::string> result;
        std::size_t at = 0;
        while (at < path.size()) {
            std::size_t end = path.find('/', at);
            if (end == std::string_view::npos)
                end = path.size();
            const std::string_view part = path.substr(at, end - at);
            if (part == "..") {
                if (!result.empty())
                    result.pop_back();
            } else if (!part.empty() && part != ".") {
                result.emplace_back(part);
            }
            at = end + 1;
        }
        return result;
    }

    // The path from the root: relative paths start there too.
    static std::string normal(std::string_view path)
    {
        // Most paths are so already: from the root, without empty, "." or ".." parts.
        const auto dotPart = [&] {
            for (std::size_t at = path.find("/."); at != std::string_view::npos;
                 at = path.find("/.", at + 1)) {
                const std::string_view rest = path.substr(at + 2);
                if (rest.empty() || rest[0] == '/' || rest == "." || rest.starts_with("./"))
                    return true;
            }
            return false;
        };
        if (path.size() > 1 && path.front() == '/' && path.back() != '/'
            && path.find("//") == std::string_view::npos && !dotPart())
            return std::string(path);
        std::string result;
        for (const std::string& part : parts(path))
            result += "/" + part;
        return result.empty() ? std::string("/") : result;
    }

    // What the system says of a normal name whose folder is not there, or whose last part is
    // too long; 0 when the name can be looked up. Folders are never removed, so a folder that
    // is there has its own folders.
    // The entry `path` names, with the lock held: 0, or the error a call on it fails with.
    int existing(const char* path, Names::iterator& it)
    {
        const std::string name = normal(path);
        if (const int error = checkName(name))
            return error;
        it = m_names.find(name);
        return it == m_names.end() ? ENOENT : 0;
    }

    int checkName(const std::string& name) const
    {
        if (name == "/")
            return 0;
        const std::size_t slash = name.rfind('/');
        if (name.size() - slash - 1 > NAME_MAX)
            return ENAMETOOLONG;
        const auto it = m_names.find(slash == 0 ? std::string("/") : name.substr(0, slash));
        if (it == m_names.end())
            return parentMissing(name.substr(0, slash));
        return it->second->folder ? 0 : ENOTDIR;
    }

    // ENOTDIR when a file stands where a folder above the name should be, else ENOENT.
    int parentMissing(const std::string& folder) const
    {
        std::string at;
        for (const std::string& part : parts(folder)) {
            at += "/" + part;
            const auto it = m_names.find(at);
            if (it == m_names.end())
                return ENOENT;
            if (!it->second->folder)
                return ENOTDIR;
        }
        return ENOENT;
    }

    std::shared_ptr<Node> newNode(bool folder)
    {
        auto node = std::make_shared<Node>();
        node->folder = folder;
        node->inode = ++m_lastInode;
        return node;
    }

    static void describe(const Node& node, struct stat* st)
    {
        *st = {};
        st->st_dev = 1;
        st->st_ino = node.inode;
        st->st_mode = node.folder ? (S_IFDIR | 0755) : (S_IFREG | 0644);
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(node.bytes.size());
    }

    OpenFile* find(int fd)
    {
        const auto it = m_open.find(fd);
        return it == m_open.end() ? nullptr : &it->second;
    }

    static int fail(int error)
    {
        errno = error;
        return -1;
    }

    static std::unique_ptr<run::FolderListing> noListing(int error)
    {
        errno = error;
        return nullptr;
    }

    // Counts a call; true (errno set) when it is the one to fail.
    bool injected(Call call)
    {
        if (m_failAt == 0 || ++m_calls != m_failAt)
            return false;
        m_failedDone = true;
        m_failedCall = call;
        errno = m_failError;
        return true;
    }

    mutable std::mutex m_mutex;
    Names m_names;
    std::map<int, OpenFile> m_open;
    int m_nextFd = 3;
    ino_t m_lastInode = 0;
    std::size_t m_bufferBytes = 0;
    std::size_t m_readMost = SIZE_MAX;
    std::size_t m_writeMost = SIZE_MAX;
    std::uint64_t m_failAt = 0;
    int m_failError = 0;
    std::uint64_t m_calls = 0;
    bool m_failedDone = false;
    Call m_failedCall = Call::Open;
};

// Puts a file system in place of the real one while it lives.
class FileSystemInUse
{
public:
    explicit FileSystemInUse(run::FileSystem& files)
    {
        run::useFileSystem(&files);
    }

    ~FileSystemInUse()
    {
        run::useFileSystem(nullptr);
    }

    FileSystemInUse(const FileSystemInUse&) = delete;
    FileSystemInUse& operator=(const FileSystemInUse&) = delete;
};
