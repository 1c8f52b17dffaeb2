#include "run/output_files.h"

#include "run/curve_construction.h"
#include "run/run_pace.h"
#include "run/text_records.h"

#include <memory>

namespace run {

namespace {

    void copyPointLines(TextReader& side, TextWriter& combined, Pace& pace)
    {
        while (!side.atEnd()) {
            combined.writeText(side.readLine());
            pace.step(0);
        }
    }

}  // namespace

void mergeCurveFiles(RunHost& host, const std::string& positivePath,
    const std::string& negativePath, const std::string& combinedPath, const std::string& writtenAs)
{
    Pace pace(&host, 0, 4096);
    auto positive = std::make_unique<TextReader>(positivePath, TextReader::Links::Refuse);
    TextWriter combined(writtenAs.empty() ? combinedPath : writtenAs, combinedPath);
    positive->readLine();  // each side file's own header is dropped
    combined.writeText(kCurveHeader);
    copyPointLines(*positive, combined, pace);
    positive.reset();
    TextReader negative(negativePath, TextReader::Links::Refuse);
    negative.readLine();
    combined.writeText(kSideSeparator);
    copyPointLines(negative, combined, pace);
    combined.close();
}

}  // namespace run
