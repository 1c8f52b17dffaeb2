#include "ui/common/file_names.h"

#include <QByteArray>
#include <QFile>

namespace ui {

QString shownFileName(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string chosenFileName(const QString& chosen, const std::string& suggested)
{
    if (!suggested.empty() && chosen == shownFileName(suggested))
        return suggested;
    const std::string encoded = QFile::encodeName(chosen).toStdString();
    const std::size_t slash = suggested.rfind('/');
    const qsizetype chosenSlash = chosen.lastIndexOf(QLatin1Char('/'));
    if (slash != std::string::npos && chosenSlash >= 0
        && chosen.left(chosenSlash) == shownFileName(suggested.substr(0, slash)))
        return suggested.substr(0, slash)
            + QFile::encodeName(chosen.mid(chosenSlash)).toStdString();
    return encoded;
}

}  // namespace ui
