#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

// Everything a run needs besides the data itself. Zero or empty until the front end
// applies the start-up defaults.
struct RunSettings
{
    std::int16_t XColumn = 0;
    std::int16_t YColumn = 0;
    float XCoefficient = 0.0f;
    float YCoefficient = 0.0f;
    std::int16_t SkipLines = 0;
    std::string DataFilePath;  // bytes as the file system names them
    std::int16_t OutputMode = 0;  // kTwoOutputFiles or kOneOutputFile
    std::int16_t KeepWorkingFiles = 0;  // kKeepWorkingFiles or kDeleteWorkingFiles
};

// The values of OutputMode.
inline constexpr std::int16_t kTwoOutputFiles = 1;
inline constexpr std::int16_t kOneOutputFile = 2;

// The values of KeepWorkingFiles.
inline constexpr std::int16_t kDeleteWorkingFiles = 0;
inline constexpr std::int16_t kKeepWorkingFiles = 1;

inline bool writesOneOutputFile(const RunSettings& s)
{
    return s.OutputMode == kOneOutputFile;
}

inline bool keepsWorkingFiles(const RunSettings& s)
{
    return s.KeepWorkingFiles == kKeepWorkingFiles;
}

// The program's one settings record.
RunSettings& runSettings();

// Reads the leading number of a settings text: blanks, tabs and line feeds are skipped
// anywhere, then the longest numeric prefix is taken ("&H"/"&O" integers included).
// A text without a leading number reads as 0; a number beyond the double range reads as
// an infinity of its sign.
double readSettingsNumber(std::string_view text);

// Setters, one per text-fed field. They never fail loudly. The column and skip setters clamp
// to the 16-bit range and then from below. The coefficient setters return false, leaving the
// field unchanged, when the number cannot be held in single precision.
void setXColumn(RunSettings& s, std::string_view text);
void setYColumn(RunSettings& s, std::string_view text);
void setSkipLines(RunSettings& s, std::string_view text);
bool setXCoefficient(RunSettings& s, std::string_view text);
bool setYCoefficient(RunSettings& s, std::string_view text);

// The state the main window reaches when it loads: columns 1 and 2, coefficients 1,
// no header lines, two output files, working files deleted. DataFilePath is kept.
void applyStartupDefaults(RunSettings& s);

}  // namespace settings
