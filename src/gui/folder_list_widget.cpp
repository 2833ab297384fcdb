#include "gui/folder_list_widget.h"

#include "dos/name_rules.h"

#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>

#include <algorithm>

namespace stowix {

namespace {

constexpr int IndentStep = 8;  // in pixels per level: half a folder icon

bool IsDriveRoot(const QString& path) {
    return path.size() == 3 && path.at(1) == QLatin1Char(':') && path.at(2) == QLatin1Char('\\');
}

// A 16 by 16 pixel folder in the classic desktop's yellow, open or closed, drawn from a grid:
// '#' outline, 'y' yellow, 'w' lit edge, 'k' drop shadow, anything else clear.
QIcon FolderIcon(bool open) {
    static const char* const closedGrid[16] = {
        "                ", "                ", "                ", "  #####         ",
        " #wwwww#        ", "#wyyyyyy###### ",  "#wyyyyyyyyyyyy#k", "#wyyyyyyyyyyyy#k",
        "#wyyyyyyyyyyyy#k", "#wyyyyyyyyyyyy#k", "#wyyyyyyyyyyyy#k", "#wyyyyyyyyyyyy#k",
        "#wyyyyyyyyyyyy#k", "###############k", " kkkkkkkkkkkkkkk", "                "};
    static const char* const openGrid[16] = {
        "                ", "                ", "                ", "  #####         ",
        " #wwwww#        ", "#wyyyyyy#####   ", "#wyyyyyyyyyyy#  ", "#wyy###########k",
        "#wy#wwwwwwwwwww#", "#w#yyyyyyyyyy#k ", "#w#yyyyyyyyyy#k ", "##yyyyyyyyyy#k  ",
        "#yyyyyyyyyyy#k  ", "#############k  ", " kkkkkkkkkkkkk  ", "                "};
    const char* const* grid = open ? openGrid : closedGrid;
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16 && grid[y][x]; ++x) {
            switch (grid[y][x]) {
            case '#': image.setPixel(x, y, qRgb(0x80, 0x80, 0x00)); break;
            case 'y': image.setPixel(x, y, qRgb(0xFF, 0xFF, 0x00)); break;
            case 'w': image.setPixel(x, y, qRgb(0xFF, 0xFF, 0xC0)); break;
            case 'k': image.setPixel(x, y, qRgb(0x00, 0x00, 0x00)); break;
            default: break;
            }
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

// Draws each entry as the classic folder list does: indented by its level, the folder icon,
// and the name, with only the name highlighted when the entry is the selected one.
class FolderEntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QPalette::ColorGroup group =
            !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
            : (option.state & QStyle::State_Active) ? QPalette::Active
                                                    : QPalette::Inactive;
        const QRect icon = IconRect(option.rect, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        const QFontMetrics metrics(option.font);
        const QRect name(icon.right() + 1 + IconGap, option.rect.top() + 1,
                         metrics.horizontalAdvance(text) + 2 * TextPadding,
                         option.rect.height() - 2);

        painter->save();
        index.data(Qt::DecorationRole).value<QIcon>().paint(painter, icon);
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) painter->fillRect(name, option.palette.color(group, QPalette::Highlight));
        painter->setFont(option.font);
        painter->setPen(
            option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(name.adjusted(TextPadding, 0, -TextPadding, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.initFrom(option.widget);
            focus.rect = name;
            focus.backgroundColor =
                option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            option.widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter,
                                                  option.widget);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QFontMetrics metrics(option.font);
        const int width = IconRect(QRect(), index).right() + 1 + IconGap + 2 * TextPadding +
                          metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        return QSize(width, std::max(IconSize + 2, metrics.height() + 2));
    }

private:
    static constexpr int IconSize = 16;    // in pixels
    static constexpr int IconGap = 3;      // in pixels, between icon and name
    static constexpr int TextPadding = 2;  // in pixels, inside the highlight

    static QRect IconRect(const QRect& row, const QModelIndex& index) {
        const int indent = index.data(FolderListWidget::LevelRole).toInt() * IndentStep;
        return QRect(row.left() + 2 + indent, row.top() + (row.height() - IconSize) / 2, IconSize,
                     IconSize);
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
    setItemDelegate(new FolderEntryDelegate(this));
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

void FolderListWidget::keyPressEvent(QKeyEvent* event) {
    // Enter on the selected folder does what a double-click on it does: the keyboard reaches
    // every restore and delete.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QListWidgetItem* entry = currentItem();
    if (!enter || !entry) {
        QListWidget::keyPressEvent(event);
        return;
    }
    const QString path = entry->data(PathRole).toString();
    event->accept();
    SetPath(path);
}

QStringList FolderListWidget::Subfolders() const {
    QStringList names;
    if (m_path.isEmpty()) return names;
    const QString folder = IsDriveRoot(m_path) ? m_path : m_path + QLatin1Char('\\');
    const QString pattern = folder + QLatin1String("*.*");
    // Files of every kind are asked for although none is shown: a listing that leaves some kind
    // out reads the attributes of every file, and a backup set's folder holds thousands. The few
    // folders are then looked at one by one; read-only, hidden and system folders stay unlisted.
    constexpr int everyKind = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
    auto listing = m_files.ListFolder(pattern, Attribute::Folder | everyKind);
    if (!listing) return names;
    for (const FolderEntry& entry : listing.value()) {
        if (!(entry.attributes & Attribute::Folder)) continue;
        if (IsDotOrDotDot(entry.name)) continue;
        const Result<int> attributes = m_files.ReadAttributes(folder + entry.name);
        if (!attributes || (attributes.value() & everyKind) != 0) continue;
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
    const QStringList steps =
        m_path.mid(walked.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
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
