#include "ui/file_chooser/folder_list.h"

#include <QApplication>
#include <QStyle>
#include <QStyledItemDelegate>

namespace ui {

namespace {

    constexpr int kPathRole = Qt::UserRole;
    constexpr int kLevelRole = Qt::UserRole + 1;
    constexpr int kIndentPixels = 8;

    // Indents each entry by its depth below the drive's root, so the entries read as a path.
    class IndentDelegate : public QStyledItemDelegate
    {
    public:
        using QStyledItemDelegate::QStyledItemDelegate;

        void paint(QPainter* painter, const QStyleOptionViewItem& option,
            const QModelIndex& index) const override
        {
            QStyleOptionViewItem indented(option);
            indented.rect.adjust(index.data(kLevelRole).toInt() * kIndentPixels, 0, 0, 0);
            QStyledItemDelegate::paint(painter, indented, index);
        }

        QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
        {
            const QSize size = QStyledItemDelegate::sizeHint(option, index);
            return { size.width() + index.data(kLevelRole).toInt() * kIndentPixels, size.height() };
        }
    };

    QListWidgetItem* makeItem(const QString& text, const QString& path, int level, bool opened)
    {
        const QStyle* style = QApplication::style();
        auto* item = new QListWidgetItem(
            style->standardIcon(opened ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon), text);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level);
        return item;
    }

}  // namespace

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::open);
}

QString FolderList::Path() const
{
    return m_path;
}

void FolderList::setPath(const QString& folder)
{
    const QString target = file_system::normalFolder(folder);
    if (target == m_path)
        return;
    const QStringList children = file_system::subfolders(target);

    const file_system::Drive drive = file_system::driveOf(target);
    QList<QListWidgetItem*> items;
    items.append(makeItem(file_system::displayName(drive), drive.root, 0, true));
    QString walked = drive.root;
    int level = 0;
    if (target != drive.root) {
        for (const QString& part : target.mid(drive.root.size()).split(u'/')) {
            walked = file_system::joinPath(walked, part);
            items.append(makeItem(part, walked, ++level, true));
        }
    }
    const int shownRow = static_cast<int>(items.size()) - 1;
    for (const QString& child : children)
        items.append(makeItem(child, file_system::joinPath(target, child), level + 1, false));

    clear();
    for (QListWidgetItem* item : items)
        addItem(item);
    setCurrentRow(shownRow);
    m_path = target;
    raiseEvent(Change);
}

void FolderList::setPath(const file_system::Drive& drive)
{
    setPath(file_system::driveFolder(drive));
}

QString FolderList::folderAt(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(kPathRole).toString() : QString();
}

void FolderList::open(QListWidgetItem* item)
{
    if (!item)
        return;
    const QString folder = item->data(kPathRole).toString();
    runGesture(gestureRunner, [this, folder] { setPath(folder); });
}

}  // namespace ui
