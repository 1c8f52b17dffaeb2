#include "ui/file_chooser/file_list.h"

#include "ui/file_chooser/file_system.h"

namespace ui {

namespace {

    [[noreturn]] void notFound(const QString& what, const QString& path)
    {
        throw file_system::Failure(file_system::FailureKind::NotFound,
            QStringLiteral("%1 \"%2\" does not exist").arg(what, path));
    }

}  // namespace

FileList::FileList(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    // Names of one series often differ only near their end: a long name keeps both ends in the
    // list's width rather than hiding its end beyond a scroll bar; the tooltip shows it whole.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideMiddle);
    // Selection, not the current item: focus alone makes an item current, and that must not
    // count as a click.
    connect(this, &QListWidget::itemSelectionChanged, this, &FileList::userSelected);
    connect(this, &QListWidget::itemDoubleClicked, this, &FileList::userDoubleClicked);
}

QString FileList::Path() const
{
    return m_path;
}

void FileList::setPath(const QString& folder)
{
    const QString target = file_system::normalFolder(folder);
    if (target == m_path)
        return;
    const QStringList names = file_system::normalFiles(target, m_pattern);
    m_path = target;
    fill(names);
    raiseEvent(PathChange);
}

QString FileList::Pattern() const
{
    return m_pattern;
}

void FileList::setPattern(const QString& pattern)
{
    if (pattern == m_pattern)
        return;
    QStringList names;
    if (!m_path.isEmpty())
        names = file_system::normalFiles(m_path, pattern);
    m_pattern = pattern;
    fill(names);
    raiseEvent(PatternChange);
}

QString FileList::FileName() const
{
    return m_fileName;
}

void FileList::setFileName(const QString& text)
{
    if (text.isEmpty())
        notFound(QStringLiteral("The file"), text);
    const QString base = m_path.isEmpty() ? file_system::currentFolder() : m_path;
    const QString whole = file_system::normalFolder(text, base);
    if (file_system::isFolder(whole)) {
        setPath(whole);
        return;
    }

    // Everything is checked before anything moves, so that a failed assignment leaves the
    // lists as they were.
    const qsizetype slash = text.lastIndexOf(u'/');
    const QString name = text.mid(slash + 1);
    const QString folder = slash < 0 ? base : file_system::normalFolder(text.left(slash + 1), base);
    if (!file_system::isFolder(folder))
        notFound(QStringLiteral("The folder"), folder);
    if (file_system::hasWildcards(name)) {
        setPath(folder);
        setPattern(name);
        return;
    }
    if (!file_system::isNormalFile(file_system::joinPath(folder, name)))
        notFound(QStringLiteral("The file"), file_system::joinPath(folder, name));
    setPath(folder);
    // Moving to another drive takes the lists to that drive's own current folder; the file
    // chosen must still be the one typed.
    if (m_path != folder)
        notFound(QStringLiteral("The file"), file_system::joinPath(m_path, name));

    const QList<QListWidgetItem*> found =
        findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_filling = true;
    if (found.isEmpty())
        clearSelection();
    else
        setCurrentItem(found.first());
    m_filling = false;
    m_fileName = name;
    raiseEvent(DblClick);
}

QString FileList::List(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

int FileList::ListCount() const
{
    return count();
}

int FileList::ListIndex() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void FileList::fill(const QStringList& names)
{
    m_filling = true;
    clear();
    addItems(names);
    for (int index = 0; index < count(); ++index)
        item(index)->setToolTip(item(index)->text());
    m_filling = false;
    m_fileName.clear();
}

void FileList::userSelected()
{
    if (m_filling)
        return;
    const int index = ListIndex();
    if (index < 0)
        return;
    m_fileName = List(index);
    runGesture(gestureRunner, [this] { raiseEvent(Click); });
}

void FileList::userDoubleClicked(QListWidgetItem* item)
{
    if (!item)
        return;
    m_fileName = item->text();
    runGesture(gestureRunner, [this] { raiseEvent(DblClick); });
}

}  // namespace ui
