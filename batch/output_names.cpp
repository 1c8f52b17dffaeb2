#include "batch/output_names.h"

#include "run/file_names.h"
#include "run/run_driver.h"

#include <sys/stat.h>
#include <utility>

namespace batch {

std::string nameBase(const std::string& file)
{
    try {
        return run::runNameBase(file);
    } catch (const run::RunFailure&) {
        return {};
    }
}

std::string besideName(const std::string& file, const std::string& extension)
{
    return nameBase(file) + extension;
}

std::string pictureName(const Options& options, const std::string& file)
{
    return options.plot == PlotMode::OneFile ? options.plotName
                                             : besideName(file, options.plotName);
}

std::vector<std::string> cycleTableNames(const Options& options, const std::string& file)
{
    if (!options.cycles)
        return {};
    using namespace run::name_part;
    return { besideName(file, kCycleTable), besideName(file, kEnvelopeTable),
        besideName(file, kBackboneTable) };
}

std::vector<std::string> jobOutputNames(const Options& options, const std::string& file)
{
    run::RunFileNames run;
    try {
        run = run::runFileNames(file);
    } catch (const run::RunFailure&) {
        return {};  // no name base
    }
    std::vector<std::string> names = { run.point, run.crossCheck, run.positive, run.negative,
        run.combined };
    if (options.plot != PlotMode::None)
        names.push_back(pictureName(options, file));
    for (std::string& table : cycleTableNames(options, file))
        names.push_back(std::move(table));
    return names;
}

NameKey nameKey(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    NameKey key;
    key.last = slash == std::string::npos ? path : path.substr(slash + 1);
    // The last component is kept as a string: a name base is a prefix of names, not a path.
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);

    struct stat st
    {
    };

    if (::stat(folder.c_str(), &st) == 0) {
        key.device = st.st_dev;
        key.inode = st.st_ino;
    } else {
        key.folder = folder;
    }
    return key;
}

std::optional<FileId> fileId(const std::string& path)
{
    struct stat st
    {
    };

    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId { st.st_dev, st.st_ino };
}

}  // namespace batch
