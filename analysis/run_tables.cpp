#include "analysis/run_tables.h"

#include "analysis/curve_sides.h"
#include "run/run_driver.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace analysis {

namespace {

    // Tells apart the new files of the jobs that write at the same time.
    std::atomic<unsigned> g_temporaryCount = 0;

    std::string folderOf(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos)
            return ".";
        return slash == 0 ? "/" : path.substr(0, slash);
    }

    std::string systemError(const std::string& what, int error)
    {
        return what + ": " + std::strerror(error);
    }

    // Writes all of `text` to `fd`, then to the disk.
    int writeAll(int fd, const std::string& text)
    {
        const char* at = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, at, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            at += n;
            left -= static_cast<std::size_t>(n);
        }
        return ::fsync(fd) == 0 ? 0 : errno;
    }

}  // namespace

RunTablesResult analyseFinishedRun(const std::vector<double>& x, const std::vector<double>& y,
    const std::string& dataFilePath, bool oneFile, const CycleOptions& options)
{
    RunTablesResult result;
    std::string base;
    try {
        base = run::runNameBase(dataFilePath);
    } catch (const run::RunFailure& failure) {
        result.message = failure.what();
        return result;
    }
    return analyseRun(x, y,
        oneFile ? readCombinedCurve(base + "vnl") : readCurveSides(base + "vnp", base + "vnn"),
        options);
}

RunTablesResult analyseRun(const std::vector<double>& x, const std::vector<double>& y,
    const CurveSidesRead& curve, const CycleOptions& options)
{
    RunTablesResult result;
    if (!curve) {
        result.message = "cannot read the curve back: " + curve.message;
        return result;
    }
    result.tables.cycles = analyseCycles(x, y, options);
    result.tables.positive = analyseBackbone(curve.sides.positive, Side::Positive);
    result.tables.negative = analyseBackbone(curve.sides.negative, Side::Negative);
    return result;
}

std::string replaceFile(const std::string& path, const std::string& text)
{
    struct stat st
    {
    };

    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return path + " is a symbolic link; not written through it";
    // A new name in the same folder, made with the usual permissions (the umask applies).
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folderOf(path) + "/.varnel-" + std::to_string(::getpid()) + "-"
            + std::to_string(g_temporaryCount.fetch_add(1)) + ".part";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return systemError("cannot make a file beside " + path, errno);
    const int writeError = writeAll(fd, text);
    const int closeError = ::close(fd) == 0 ? 0 : errno;
    if (writeError != 0 || closeError != 0) {
        ::unlink(temporary.c_str());
        return systemError("cannot write " + path, writeError != 0 ? writeError : closeError);
    }
    // Checked again just before the name is taken: a link that appeared meanwhile is refused.
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        ::unlink(temporary.c_str());
        return path + " is a symbolic link; not written through it";
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return systemError("cannot write " + path, error);
    }
    return {};
}

}  // namespace analysis
