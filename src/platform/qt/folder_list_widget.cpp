#include "platform/qt/folder_list_widget.h"

#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <algorithm>

namespace stowix {

namespace {

constexpr int IndentStep = 8;  // in pixels per level, as far as half a folder icon

bool IsDriveRoot(const QString& path) {
    return path.size() == 3 && path.at(1) == QLatin1Char(':') && path.at(2) == QLatin1Char('\\');
}

// A 16 by 16 pixel folder in the classic desktop's yellow, open or closed.
QIcon FolderIcon(bool open) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QColor outline(0x00, 0x00, 0x00);
    const QColor front(0xFF, 0xFF, 0x00);
    const QColor back(0xC0, 0xC0, 0x00);
    const QColor shine(0xFF, 0xFF, 0xFF);
    painter.setPen(outline);
    if (!open) {
        painter.setBrush(back);
        painter.drawPolygon(QPolygon({QPoint(1, 3), QPoint(5, 3), QPoint(6, 4), QPoint(14, 4),
                                      QPoint(14, 13), QPoint(1, 13)}));
        painter.setBrush(front);
        painter.drawRect(1, 5, 13, 8);
        painter.setPen(shine);
        painter.drawLine(2, 6, 12, 6);
        painter.drawLine(2, 6, 2, 12);
    } else {
        painter.setBrush(back);
        painter.drawPolygon(QPolygon({QPoint(1, 3), QPoint(5, 3), QPoint(6, 4), QPoint(12, 4),
                                      QPoint(12, 7), QPoint(1, 13)}));
        painter.setBrush(front);
        painter.drawPolygon(QPolygon({QPoint(4, 7), QPoint(15, 7), QPoint(12, 13), QPoint(1, 13)}));
        painter.setPen(shine);
        painter.drawLine(5, 8, 13, 8);
    }
    return QIcon(pixmap);
}

// Shifts each entry right by its level, so that the list reads as the folders' tree.
class IndentingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + Indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += Indent(index);
        return size;
    }

private:
    static int Indent(const QModelIndex& index) {
        return index.data(FolderListWidget::LevelRole).toInt() * IndentStep;
    }
};

}  // namespace

QString NormalizeFolderPath(const QString& path) {
    QString normal = path;
    if (normal.size() == 2 && normal.at(1) == QLatin1Char(':')) return normal + QLatin1Char('\\');
    while (normal.endsWith(QLatin1Char('\\')) && !IsDriveRoot(normal) && normal.size() > 1)
        normal.chop(1);
    return normal;
}

FolderListWidget::FolderListWidget(FileSystem& files, QWidget* parent)
    : QListWidget(parent), m_files(files) {
    setItemDelegate(new IndentingDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setIconSize(QSize(16, 16));
}

void FolderListWidget::SetPath(const QString& path) {
    const QString normal = NormalizeFolderPath(path);
    const bool changed = normal != m_path;
    m_path = normal;
    // The list is read again even when the path stays: folders may have come or gone.
    Fill();
    if (changed && m_change) m_change();
}

void FolderListWidget::SetToolTip(const QString& toolTip) { setToolTip(toolTip); }

void FolderListWidget::Refresh() { Fill(); }

void FolderListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The base class is not called: the change handler may refill the list (and run dialogs), so
    // no item of the list is touched once it has run.
    if (event->button() != Qt::LeftButton) return;
    const QListWidgetItem* entry = itemAt(event->position().toPoint());
    if (!entry) return;
    const QString path = entry->data(PathRole).toString();
    event->accept();
    SetPath(path);
}

QStringList FolderListWidget::Subfolders() const {
    QStringList names;
    if (m_path.isEmpty()) return names;
    const QString pattern = (IsDriveRoot(m_path) ? m_path : m_path + QLatin1Char('\\'))
                            + QLatin1String("*.*");
    auto listing = m_files.ListFolder(pattern, Attribute::Folder);
    if (!listing) return names;
    for (const FolderEntry& entry : listing.value()) {
        if (!(entry.attributes & Attribute::Folder)) continue;
        if (entry.name == QLatin1String(".") || entry.name == QLatin1String("..")) continue;
        names.append(entry.name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = QString::compare(a, b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

void FolderListWidget::Fill() {
    clear();
    if (m_path.isEmpty()) return;
    static const QIcon openFolder = FolderIcon(true);
    static const QIcon closedFolder = FolderIcon(false);

    // The way down: "C:\", then each folder of the path.
    const int rootLength = m_path.indexOf(QLatin1Char('\\')) + 1;
    QString walked = rootLength > 0 ? m_path.left(rootLength) : m_path;
    const QStringList steps = m_path.mid(walked.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    int level = 0;
    auto add = [this](const QString& text, const QString& path, int level, const QIcon& icon) {
        auto* entry = new QListWidgetItem(icon, text, this);
        entry->setData(PathRole, path);
        entry->setData(LevelRole, level);
        return entry;
    };
    QListWidgetItem* current = add(walked, walked, level, openFolder);
    for (const QString& step : steps) {
        if (!IsDriveRoot(walked)) walked += QLatin1Char('\\');
        walked += step;
        current = add(step, walked, ++level, openFolder);
    }
    const QString prefix = IsDriveRoot(m_path) ? m_path : m_path + QLatin1Char('\\');
    for (const QString& name : Subfolders()) add(name, prefix + name, level + 1, closedFolder);

    setCurrentItem(current);
    scrollToItem(current);
}

}  // namespace stowix
