#pragma once

#include "ui/file_chooser/list_events.h"

#include <QListWidget>

namespace ui {

// The file list: the normal files of one folder that match a pattern.
class FileList : public QListWidget
{
    Q_OBJECT

public:
    explicit FileList(QWidget* parent = nullptr);

    // The folder listed; empty until one is assigned. Assigning another folder re-lists and
    // raises PathChange. Throws file_system::Failure when the folder cannot be read, leaving
    // the list as it was.
    QString Path() const;
    void setPath(const QString& folder);

    // One file-name pattern with "*" and "?"; assigning another re-lists and raises
    // PatternChange. Throws as setPath does.
    QString Pattern() const;
    void setPattern(const QString& pattern);

    // The selected file's name, without folder; empty when none is selected.
    QString FileName() const;

    // Interprets a typed text: a folder becomes Path, a wildcard last component becomes
    // Pattern (after its folder part, if any, became Path), and an existing normal file is
    // selected and chosen by raising DblClick. Throws file_system::Failure: NotFound when
    // a folder or file does not exist, Refused when the system refuses.
    void setFileName(const QString& text);

    QString List(int index) const;
    int ListCount() const;

    // The selected entry's index, -1 for none.
    int ListIndex() const;

    ListEvent PathChange;
    ListEvent PatternChange;
    ListEvent Click;
    ListEvent DblClick;
    GestureRunner gestureRunner;

private:
    void fill(const QStringList& names);
    void userSelected();
    void userDoubleClicked(QListWidgetItem* item);

    QString m_path;
    QString m_pattern = QStringLiteral("*");
    QString m_fileName;
    bool m_filling = false;
};

}  // namespace ui
