#include "ui/common/data_file_preview.h"

#include "run/run_failure.h"
#include "run/text_records.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

namespace ui {

namespace {

    PreviewTarget* g_target = nullptr;

    constexpr int kPreviewLines = 6;
    // A line longer than this is shown cut: a preview box is no place for megabytes.
    constexpr std::size_t kMaxShownBytes = 64 * 1024;

    // Data files come in UTF-8 or in a legacy single-byte encoding; show either legibly.
    QString decodeLine(const std::string& line)
    {
        const QByteArray bytes = QByteArray::fromStdString(line);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        if (utf8.hasError())
            return QString::fromLatin1(bytes);
        return text;
    }

}  // namespace

void setPreviewTarget(PreviewTarget* target)
{
    g_target = target;
}

void ShowDataFilePreview(const QString& path)
{
    // The run's own reader, so that the preview splits lines and skips a byte-order mark
    // exactly as the run will read them.
    try {
        run::TextReader reader(QFile::encodeName(path).toStdString());
        for (int index = 0; index < kPreviewLines && !reader.atEnd(); ++index) {
            const std::string line = reader.readLine(kMaxShownBytes);
            if (g_target)
                g_target->setPreviewLine(index, decodeLine(line));
        }
    } catch (const run::RunFailure&) {
        // A file that cannot be read (or stops being readable) shows what was read so far.
    }
}

}  // namespace ui
