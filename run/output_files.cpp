#include "run/output_files.h"

#include "run/curve_construction.h"
#include "run/text_records.h"

#include <memory>

namespace run {

namespace {

    void copyPointLines(TextReader& side, TextWriter& combined)
    {
        while (!side.atEnd())
            combined.writeText(side.readLine());
    }

}  // namespace

void mergeCurveFiles(const std::string& positivePath, const std::string& negativePath,
    const std::string& combinedPath)
{
    auto positive = std::make_unique<TextReader>(positivePath, TextReader::Links::Refuse);
    TextWriter combined(combinedPath);
    positive->readLine();  // each side file's own header is dropped
    combined.writeText(kCurveHeader);
    copyPointLines(*positive, combined);
    positive.reset();
    TextReader negative(negativePath, TextReader::Links::Refuse);
    negative.readLine();
    combined.writeText(kSideSeparator);
    copyPointLines(negative, combined);
    combined.close();
}

}  // namespace run
