#include "run/run_failure.h"

#include "run/file_system.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace run {

RunFailure::RunFailure(
    FailureCode code, std::string detail, std::int64_t line, std::int64_t pointIndex)
    : std::runtime_error(std::move(detail))
    , m_code(code)
    , m_line(line)
    , m_pointIndex(pointIndex)
{
}

namespace {

    bool exists(const std::string& path)
    {
        struct stat st
        {
        };

        return fileSystem().stat(path.c_str(), &st) == 0;
    }

    std::string parentOf(const std::string& path)
    {
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return ".";
        if (slash == 0)
            return "/";
        return path.substr(0, slash);
    }

}  // namespace

FailureCode failureFromErrno(int error, const std::string& path, bool creating)
{
    switch (error) {
    case ENOENT:
        // A missing file is "not found"; a missing folder on the way is "path not found".
        if (creating || !exists(parentOf(path)))
            return FailureCode::PathNotFound;
        return FailureCode::FileNotFound;
    case ENOTDIR:
        return FailureCode::PathNotFound;
    case EACCES:
        // A file we may not open is an access error; a folder we may not enter or write
        // into is a permission failure.
        return exists(path) ? FailureCode::PathFileAccessError : FailureCode::PermissionDenied;
    case EPERM:
    case EBUSY:
    case ETXTBSY:
        return FailureCode::PermissionDenied;
    case EISDIR:
    case EROFS:
        return FailureCode::PathFileAccessError;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FailureCode::DiskFull;
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EILSEQ:
        return FailureCode::BadFileName;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return FailureCode::DiskNotReady;
    default:
        return FailureCode::DeviceIoError;
    }
}

void throwFileFailure(int error, const std::string& path, bool creating)
{
    throw RunFailure(failureFromErrno(error, path, creating), path + ": " + std::strerror(error));
}

void throwOwnFileFailure(int error, const std::string& path, bool creating)
{
    struct stat st
    {
    };

    // O_NOFOLLOW reports a link at the last component as ELOOP.
    if (error == ELOOP && fileSystem().lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        throw RunFailure(FailureCode::PathFileAccessError,
            path + ": is a symbolic link; the run does not write or read through it");
    throwFileFailure(error, path, creating);
}

}  // namespace run
