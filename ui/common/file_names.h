#pragma once

#include <QString>

#include <string>

namespace ui {

// A file name of the file system (its bytes) as the window shows it.
QString shownFileName(const std::string& bytes);

// The file the user chose in a file dialog, as the file system's bytes. A QString cannot hold
// a name's bytes that are no UTF-8 (a Latin-1 name on a shared drive): where the user took the
// suggestion `suggested` as it was, or kept its folder, those parts keep their own bytes, so
// that an export never lands under a name with a replacement character in it.
std::string chosenFileName(const QString& chosen, const std::string& suggested);

}  // namespace ui
