#pragma once

#include "batch/options.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace batch {

// The data file's name base (its name less its last three characters), or nothing when the
// path is too short to have one. A run writes its curve files under it.
std::string nameBase(const std::string& file);

// A file beside `file` that a job writes besides the run's own: the name base plus `extension`.
std::string besideName(const std::string& file, const std::string& extension);

// The picture of the run of `file` that --plot asks for.
std::string pictureName(const Options& options, const std::string& file);

// The cycle, envelope and backbone tables of the run of `file` that --cycles asks for, in that
// order; none without --cycles.
std::vector<std::string> cycleTableNames(const Options& options, const std::string& file);

// Every name the job of `file` may write or remove: the run's own five, then what the options
// add beside them (the picture with --plot, the tables with --cycles). Every file an option writes
// is listed here, since the batch refuses a job whose names include another argument's data file.
// Empty when the path has no name base.
std::vector<std::string> jobOutputNames(const Options& options, const std::string& file);

// A name (or a name base) as the file system resolves it: its folder's identity and the text
// after its last slash, so that "abc" and "./abc", or two spellings of one folder, compare
// equal whether or not the name exists yet. A folder that cannot be reached keeps its spelling.
struct NameKey
{
    dev_t device = 0;
    ino_t inode = 0;
    std::string folder;  // the folder as spelt, when it could not be reached
    std::string last;

    friend auto operator<=>(const NameKey&, const NameKey&) = default;
};

NameKey nameKey(const std::string& path);

// The identity of an existing file (through links), for finding one file under two names.
struct FileId
{
    dev_t device = 0;
    ino_t inode = 0;

    friend auto operator<=>(const FileId&, const FileId&) = default;
};

std::optional<FileId> fileId(const std::string& path);

}  // namespace batch
