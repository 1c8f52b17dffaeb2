#include "run/run_driver.h"

#include "run/cross_check.h"
#include "run/curve_construction.h"
#include "run/data_reader.h"
#include "run/file_names.h"
#include "run/file_system.h"
#include "run/output_files.h"
#include "run/point_preparation.h"
#include "run/run_lock.h"
#include "run/run_pace.h"
#include "run/whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace run {

namespace {

    bool isValidUtf8(const std::string& s)
    {
        std::size_t i = 0;
        while (i < s.size()) {
            const auto c = static_cast<unsigned char>(s[i]);
            std::size_t extra = 0;
            if (c < 0x80)
                extra = 0;
            else if ((c & 0xE0) == 0xC0 && c >= 0xC2)
                extra = 1;
            else if ((c & 0xF0) == 0xE0)
                extra = 2;
            else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
                extra = 3;
            else
                return false;
            if (i + extra >= s.size() && extra > 0)
                return false;
            for (std::size_t k = 1; k <= extra; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                    return false;
            i += extra + 1;
        }
        return true;
    }

    // The run writes only its own files: never the user's data file under another name.
    void refuseDataFileAsOutput(const std::string& dataFilePath, const RunFileNames& names)
    {
        for (const std::string* name :
            { &names.point, &names.crossCheck, &names.positive, &names.negative, &names.combined })
            if (sameFile(dataFilePath, *name))
                throw RunFailure(FailureCode::PathFileAccessError,
                    *name + " is the data file itself; rename the data file");
    }

    // The data file is opened before any file of the run is made: a misspelt name or a file
    // that cannot be read leaves nothing behind.
    void requireReadableDataFile(const std::string& path)
    {
        TextReader reader(path);
    }

    void probe(const std::string& path)
    {
        TextWriter file(path);
        file.writeText("Test output");
        file.close();
    }

    void removeFile(const std::string& path)
    {
        if (fileSystem().unlink(path.c_str()) != 0)
            throwFileFailure(errno, path, false);
    }

    // A working file that this run did not write: a regular file left at its name by an
    // earlier run goes as the run's own would; a folder, a link or anything else is not ours.
    void removeStaleFile(const std::string& path)
    {
        struct stat st
        {
        };

        if (fileSystem().lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            removeFile(path);
    }

    PreparedPoints readingPhase(RunHost& host, const settings::RunSettings& s,
        const std::string& pointFilePath, RecordExtremes& extremes, const ReadingKeeps& keeps)
    {
        const bool keep = settings::keepsWorkingFiles(s);
        PreparedPoints points =
            readDataFile(s, keep ? pointFilePath : "", extremes, &host, Threads::Auto, keeps);
        host.enterPhase(RunPhase::Preparing);
        drawPlotFrame(host, extremes);
        yieldOrStop(host);
        if (!keep)
            removeStaleFile(pointFilePath);
        yieldOrStop(host);
        drawRecord(host, points);
        return points;
    }

    // A curve file's content is written into a new file beside it, which takes the name at the
    // end of the run: a run killed on the way leaves the name holding "Test output", never a
    // curve cut short that looks whole. Where the folder takes no new file (a writable file in a
    // folder that is not), the file is written in place, as it always could be.
    class WrittenBeside
    {
    public:
        explicit WrittenBeside(const std::string& name)
            : m_name(name)
        {
            std::string temporary = temporaryNameBeside(name);
            FileSystem& files = fileSystem();
            const int fd = files.open(
                temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd >= 0) {
                files.close(fd);
                m_temporary = std::move(temporary);
            } else if (errno != EACCES && errno != EPERM) {
                throwFileFailure(errno, name, true);
            }
        }

        ~WrittenBeside()
        {
            if (!m_temporary.empty())
                fileSystem().unlink(m_temporary.c_str());
        }

        WrittenBeside(const WrittenBeside&) = delete;
        WrittenBeside& operator=(const WrittenBeside&) = delete;

        // Where the content is written.
        const std::string& path() const
        {
            return m_temporary.empty() ? m_name : m_temporary;
        }

        // The content takes the name; the lock moves with it onto the locked file's name.
        void takeName(RunLock* lock = nullptr)
        {
            if (m_temporary.empty())
                return;
            if (lock)
                lock->renameInto(m_temporary);
            else if (fileSystem().rename(m_temporary.c_str(), m_name.c_str()) != 0)
                throwFileFailure(errno, m_name, true);
            m_temporary.clear();
        }

    private:
        std::string m_name;
        std::string m_temporary;
    };

    // A symbolic link at one of the run's names is never written through nor replaced.
    void refuseLinkAt(const std::string& path)
    {
        struct stat st
        {
        };

        if (fileSystem().lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            throwOwnFileFailure(ELOOP, path, true);
    }

    // Passes the cross check's records on to the curve, keeping the groups and crossings the
    // host wants of the finished run.
    class FinishedRunSink : public CrossRecordSink
    {
    public:
        FinishedRunSink(CrossRecordSink& next, const FinishedRunParts& parts,
            const PreparedPoints& points, FinishedRun& run)
            : m_next(next)
            , m_groups(parts.groups ? &run.groups : nullptr)
        {
            if (m_groups)
                m_groups->reserve(points.size());
            if (parts.crossings)
                m_crossings.emplace(parts.exactCrossings, parts.gridColumns, parts.gridRows,
                    extentOf(points.x, points.y));
        }

        // Every record of the check comes as a point or a crossing.
        void take(double x, double y, std::int64_t group) override
        {
            m_next.take(x, y, group);
        }

        void takePoint(std::size_t index, double x, double y, std::int64_t group) override
        {
            if (m_groups)
                m_groups->push_back(group);
            m_next.takePoint(index, x, y, group);
        }

        void takeCrossing(float x, float y, std::int64_t group) override
        {
            if (m_crossings)
                m_crossings->add(x, y, group);
            m_next.takeCrossing(x, y, group);
        }

        Crossings takeCrossings()
        {
            return m_crossings ? m_crossings->take() : Crossings {};
        }

    private:
        CrossRecordSink& m_next;
        std::vector<std::int64_t>* m_groups;
        std::optional<CrossingCollector> m_crossings;
    };

    enum class ErrorExit
    {
        None,
        OutputFile,
        Data,
        SameX,
        Finishing
    };

    std::string messageFor(ErrorExit exit, const RunFailure& f)
    {
        switch (exit) {
        case ErrorExit::Data:
            return dataErrorMessage(f.code());
        case ErrorExit::SameX:
            // Only the data's own failures carry a point; a file that cannot be written or
            // read back is no fault of the data.
            if (f.pointIndex() != 0)
                return sameXErrorMessage(f.pointIndex());
            break;
        case ErrorExit::OutputFile:
        case ErrorExit::Finishing:
        case ErrorExit::None:
            break;
        }
        return outputFileErrorMessage(f.code());
    }

}  // namespace

RunFileNames runFileNames(const std::string& dataFilePath)
{
    using namespace name_part;
    const std::string base = runNameBase(dataFilePath);
    return { base + kPointFile, base + kCrossCheckFile, base + kPositiveCurve,
        base + kNegativeCurve, base + kCombinedCurve };
}

std::string runNameBase(const std::string& path)
{
    std::size_t end = path.size();
    const bool utf8 = isValidUtf8(path);
    for (int removed = 0; removed < 3; ++removed) {
        if (end == 0)
            throw RunFailure(FailureCode::InvalidArgument,
                "the data file's path is shorter than three characters");
        --end;
        while (utf8 && end > 0 && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80)
            --end;
    }
    return path.substr(0, end);
}

bool sameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;

    struct stat sa
    {
    };

    struct stat sb
    {
    };

    FileSystem& files = fileSystem();
    return files.stat(a.c_str(), &sa) == 0 && files.stat(b.c_str(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string outputFileErrorMessage(FailureCode code)
{
    return "This output data file has been opened by another application. ("
        + std::to_string(static_cast<int>(code)) + ")";
}

std::string dataErrorMessage(FailureCode code)
{
    return "This file includes error data or you may mistake column or skip indication. ("
        + std::to_string(static_cast<int>(code)) + ")";
}

std::string sameXErrorMessage(std::int64_t pointIndex)
{
    return "These data include the same x-value at " + std::to_string(pointIndex)
        + " line. Please remove them.";
}

std::string failureDetailLine(std::string_view dataFile, const RunReport& report)
{
    if (report.detail.empty() || dataFile.empty())
        return report.detail;
    return std::string(dataFile) + ": " + report.detail;
}

RunReport runVarnel(RunHost& host, settings::RunSettings& settings,
    std::string_view xCoefficientText, std::string_view yCoefficientText)
{
    RunReport report;
    ErrorExit exit = ErrorExit::None;
    // Every file of the run was closed as the failure unwound the phases.
    const auto fail = [&](const RunFailure& f) {
        report.outcome = RunOutcome::Failed;
        report.code = f.code();
        report.message = messageFor(exit, f);
        report.detail = f.what();
        report.location.line = f.line();
        try {
            host.setStatus("");
            host.showError(report.message);
        } catch (...) {
            // The report still tells the caller what went wrong.
        }
        return report;
    };
    try {
        host.clearPlot();
        const bool xHeld = settings::setXCoefficient(settings, xCoefficientText);
        const bool yHeld = settings::setYCoefficient(settings, yCoefficientText);
        if (!xHeld || !yHeld) {
            // Going on would scale by a coefficient that the box does not show.
            exit = ErrorExit::Data;
            throw RunFailure(FailureCode::Overflow,
                std::string(xHeld ? "the Y" : "the X")
                    + " coefficient cannot be held in single precision");
        }
        const settings::RunSettings s = settings;

        exit = ErrorExit::OutputFile;
        host.enterPhase(RunPhase::Reading);
        host.setStatus("Data reading...");
        yieldOrStop(host);
        if (s.DataFilePath.empty()) {
            host.setStatus("");
            report.outcome = RunOutcome::NoDataFile;
            return report;
        }
        const RunFileNames names = runFileNames(s.DataFilePath);
        const bool oneFile = settings::writesOneOutputFile(s);
        const bool keep = settings::keepsWorkingFiles(s);
        host.showFileName(0, s.DataFilePath);
        host.showFileName(1, oneFile ? names.combined : names.positive);
        if (!oneFile)
            host.showFileName(2, names.negative);
        yieldOrStop(host);
        refuseDataFileAsOutput(s.DataFilePath, names);
        exit = ErrorExit::Data;
        requireReadableDataFile(s.DataFilePath);
        exit = ErrorExit::OutputFile;
        // Held until the last file operation below, the removals included, and by a host that
        // asks for it until it has written what it makes of the run.
        const auto lock = std::make_shared<RunLock>(names.positive);
        removeLeftoverTemporaries({ names.positive, names.negative, names.combined });
        probe(names.positive);
        probe(names.negative);

        exit = ErrorExit::Data;
        const FinishedRunParts parts = host.finishedRunParts();
        FinishedRun finished;
        std::vector<std::string> headerLines;
        std::int64_t dataValues = 0;
        PreparedPoints points = readingPhase(host, s, names.point, finished.extremes,
            { parts.rows ? &finished.rows : nullptr, parts.pointLines, &headerLines, &dataValues });

        exit = ErrorExit::SameX;
        std::optional<WrittenBeside> positiveCurve;
        std::optional<WrittenBeside> negativeCurve;
        std::unique_ptr<TextWriter> negative;
        {
            // The curve keeps the prepared points it takes by their numbers: the points are let
            // go once the curve's sides are written and handed over.
            CurveStream curve(finished.extremes.minX, finished.extremes.maxX, &points);
            const std::string crossCheckFile = keep ? names.crossCheck : "";
            if (parts.groups || parts.crossings) {
                FinishedRunSink sink(curve, parts, points, finished);
                runCrossCheck(host, points, crossCheckFile, sink);
                finished.crossings = sink.takeCrossings();
            } else {
                runCrossCheck(host, points, crossCheckFile, curve);
            }
            positiveCurve.emplace(names.positive);
            negativeCurve.emplace(names.negative);
            negative = curve.finish(
                host, positiveCurve->path(), negativeCurve->path(), names.positive, names.negative);
            finished.curve = curve.takeSides();
        }
        if (parts.points)
            finished.points = std::move(points);
        points = {};

        exit = ErrorExit::Finishing;
        host.enterPhase(RunPhase::Finishing);
        negative->close();
        negative.reset();
        positiveCurve->takeName(lock.get());
        negativeCurve->takeName();
        if (!keep)
            removeStaleFile(names.crossCheck);
        const bool held = host.holdsNamesAfterRun();
        if (oneFile) {
            refuseLinkAt(names.combined);
            WrittenBeside combined(names.combined);
            mergeCurveFiles(host, names.positive, names.negative, names.combined, combined.path());
            combined.takeName();
            if (!keep) {
                // The locked file goes last: once its name is gone, a second run may take a new
                // lock at once. A host that holds the names on has it removed as it lets go.
                removeFile(names.negative);
                if (held)
                    lock->removeWhenReleased();
                else
                    removeFile(names.positive);
            }
        }
        finished.dataFilePath = s.DataFilePath;
        finished.settings = s;
        finished.titles = axisTitles(headerLines, dataValues, s);
        host.runFinished(std::move(finished));
        host.setStatus("Finish");
        report.outcome = RunOutcome::Finished;
        if (held)
            report.names = lock;
        return report;
    } catch (const RunFailure& f) {
        return fail(f);
    } catch (const RunStopped&) {
        // Every file of the run was closed as the stop unwound the phases.
        report.outcome = RunOutcome::Stopped;
        try {
            host.setStatus("");
        } catch (...) {
            // The report still says the run stopped.
        }
        return report;
    } catch (const std::bad_alloc&) {
        return fail(RunFailure(FailureCode::OutOfMemory, "the record does not fit in memory"));
    } catch (const std::exception& e) {
        // A fault of the program or of its front end, not of the data: it is still reported as
        // a failure, so that no front end has to guard a run.
        return fail(RunFailure(
            FailureCode::InvalidArgument, std::string("unexpected failure: ") + e.what()));
    } catch (...) {
        return fail(RunFailure(FailureCode::InvalidArgument, "unexpected failure of unknown kind"));
    }
}

}  // namespace run
