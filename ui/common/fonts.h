#pragma once

#include <QFont>
#include <QString>

namespace ui {

// The faces the windows ask for; substitutes are registered for systems that lack them.
inline const QString kProportionalGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString kFixedGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kArial = QStringLiteral("Arial");

// Registers the substitutes once; call before the first window is built.
void registerFontSubstitutes();

// A font of `family` at `pointSize`, regular weight unless `bold`.
QFont windowFont(const QString& family, double pointSize, bool bold = false);

}  // namespace ui
