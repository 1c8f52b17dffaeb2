#include "ui/common/fonts.h"

#include <QStringList>

namespace ui {

void registerFontSubstitutes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitutions(
        kProportionalGothic, { QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP") });
    QFont::insertSubstitutions(
        kFixedGothic, { QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP") });
    QFont::insertSubstitutions(
        kArial, { QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans") });
}

QFont windowFont(const QString& family, double pointSize, bool bold)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    if (family == kFixedGothic)
        font.setStyleHint(QFont::Monospace);
    return font;
}

}  // namespace ui
