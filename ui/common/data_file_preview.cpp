#include "ui/main_window/data_file_preview.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

namespace {

PreviewTarget* g_target = nullptr;

constexpr int kPreviewLines = 6;
// A line longer than this is shown cut: a preview box is no place for megabytes.
constexpr qsizetype kMaxShownBytes = 64 * 1024;

// Data files come in UTF-8 or in a legacy single-byte encoding; show either legibly.
QString decodeLine(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

// Reads one line; CR LF, a lone LF and a lone CR each end it. Returns false at the end of
// the file (nothing left to read) or on a read error.
bool readLine(QFile& file, QByteArray& line)
{
    line.clear();
    char c = 0;
    bool any = false;
    while (file.getChar(&c)) {
        any = true;
        if (c == '\n')
            return true;
        if (c == '\r') {
            char next = 0;
            if (file.getChar(&next) && next != '\n')
                file.ungetChar(next);
            return true;
        }
        if (line.size() < kMaxShownBytes)
            line.append(c);
    }
    return any;
}

}  // namespace

void setPreviewTarget(PreviewTarget* target)
{
    g_target = target;
}

void ShowDataFilePreview(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray line;
    for (int index = 0; index < kPreviewLines; ++index) {
        if (!readLine(file, line))
            break;
        if (index == 0 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        if (g_target)
            g_target->setPreviewLine(index, decodeLine(line));
    }
}
