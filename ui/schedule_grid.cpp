#include "schedule_grid.h"

#include "event_list.h"
#include "global.h"
#include "project_classes.h"

#include <vector>

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws a cell's check box in its middle, in the normal look although it
// cannot be changed.
class CenteredCheckDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem base = option;
        initStyleOption(&base, index);
        const QVariant state = index.data(Qt::CheckStateRole);
        base.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        QStyle *style = option.widget ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &base, painter, option.widget);
        if (!state.isValid())
            return;
        QStyleOptionButton box;
        box.state = QStyle::State_Enabled |
                    (state.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        const QRect indicator = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, option.widget);
        box.rect = QRect(QPoint(0, 0), indicator.size());
        box.rect.moveCenter(option.rect.center());
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, option.widget);
    }
};

// The marker column looks like a header column, with the marker in its middle.
class MarkerDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        painter->fillRect(option.rect, option.palette.button());
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        if (icon.isNull())
            return;
        QRect r(QPoint(0, 0), option.decorationSize);
        r.moveCenter(option.rect.center());
        icon.paint(painter, r);
    }
};

QString longTimeFormat()
{
    // Qt's long format names the time zone ("t"); this column does not.
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.trimmed();
}

// One row's worth of an event, as it was when shown.
struct GridRow {
    bool filled = false;
    bool marked = false;
    uint32_t seconds = 0;
    uint8_t days = 0; // bit 0 Monday .. bit 6 Sunday
    QString name;
    QString file;
};

} // namespace

class TScheduleModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    std::vector<GridRow> rows;
    QIcon marker;

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(rows.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : TScheduleGrid::ColumnCount;
    }
    Qt::ItemFlags flags(const QModelIndex &) const override
    {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const titles[TScheduleGrid::ColumnCount] = {
            "Act", "Time", "Name", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun", "File"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < TScheduleGrid::ColumnCount)
            return QString::fromLatin1(titles[section]);
        return {};
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || size_t(index.row()) >= rows.size())
            return {};
        const GridRow &r = rows[size_t(index.row())];
        const int column = index.column();
        if (column == TScheduleGrid::colAct) {
            if (role == Qt::DecorationRole && r.marked)
                return marker;
            if (role == Qt::AccessibleTextRole && r.marked)
                return QStringLiteral("Playing");
            return {};
        }
        if (!r.filled)
            return {};
        if (column >= TScheduleGrid::colMon && column <= TScheduleGrid::colSun) {
            const int d = column - TScheduleGrid::colMon;
            const bool on = r.days & (1u << d);
            if (role == Qt::CheckStateRole)
                return on ? Qt::Checked : Qt::Unchecked;
            if (role == Qt::AccessibleTextRole) {
                static const char *const names[7] = {"Monday", "Tuesday", "Wednesday", "Thursday",
                                                     "Friday", "Saturday", "Sunday"};
                return QStringLiteral("%1: %2").arg(QLatin1String(names[d]),
                                                    on ? QStringLiteral("yes") : QStringLiteral("no"));
            }
            return {};
        }
        if (role == Qt::DisplayRole) {
            switch (column) {
            case TScheduleGrid::colTime:
                return TimeText(r.seconds);
            case TScheduleGrid::colName:
                return r.name;
            case TScheduleGrid::colFile:
                return FileNameOf(r.file);
            }
        }
        if (role == Qt::ToolTipRole && column == TScheduleGrid::colFile)
            return r.file;
        return {};
    }

    void reset(std::vector<GridRow> fresh)
    {
        beginResetModel();
        rows = std::move(fresh);
        endResetModel();
    }
};

QString TimeText(uint32_t seconds)
{
    if (seconds >= kSecondsPerDay)
        return QStringLiteral("--:--:--");
    return QLocale().toString(QTime::fromMSecsSinceStartOfDay(int(seconds) * 1000), longTimeFormat());
}

QString FileNameOf(const QString &path)
{
    qsizetype cut = -1;
    for (const QChar c : {u'/', u'\\', u':'})
        cut = std::max(cut, path.lastIndexOf(c));
    return path.mid(cut + 1);
}

TScheduleGrid::TScheduleGrid(QWidget *parent) : QTableView(parent), fModel(new TScheduleModel(this))
{
    setModel(fModel);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { emit cellDoubleClicked(index.row(), index.column()); });
    const int widths[ColumnCount] = {32, 80, 128, 32, 32, 32, 32, 32, 32, 32, 199};
    for (int c = 0; c < ColumnCount; ++c)
        setColumnWidth(c, widths[c]);
    QFont bold = horizontalHeader()->font();
    bold.setBold(true);
    horizontalHeader()->setFont(bold);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWordWrap(false);
    setAlternatingRowColors(false);
    auto *check = new CenteredCheckDelegate(this);
    for (int c = colMon; c <= colSun; ++c)
        setItemDelegateForColumn(c, check);
    setItemDelegateForColumn(colAct, new MarkerDelegate(this));
    setAccessibleName(QStringLiteral("Schedule"));
    Clear();
}

void TScheduleGrid::Clear()
{
    fModel->reset(std::vector<GridRow>(1));
    SetCurrentCell(0, colTime);
}

void TScheduleGrid::ShowEvents(const TEventList &events)
{
    std::vector<GridRow> rows(size_t(std::max(1, events.Count())));
    for (int i = 0; i < events.Count(); ++i) {
        const TEvent &e = *events.Items(i);
        GridRow &r = rows[size_t(i)];
        r.filled = true;
        r.seconds = e.TimeSeconds;
        const bool days[7] = {e.Mon, e.Tue, e.Wed, e.Thu, e.Fri, e.Sat, e.Sun};
        for (int d = 0; d < 7; ++d)
            r.days |= uint8_t(days[d]) << d;
        r.name = e.Name();
        r.file = e.AudioFile;
    }
    fModel->reset(std::move(rows));
}

void TScheduleGrid::SetMarker(int row, bool playing)
{
    if (row < 1 || row > BodyRows())
        return;
    fModel->rows[size_t(row - 1)].marked = playing;
    const QModelIndex cell = fModel->index(row - 1, colAct);
    emit fModel->dataChanged(cell, cell, {Qt::DecorationRole, Qt::AccessibleTextRole});
}

bool TScheduleGrid::HasMarker(int row) const
{
    return row >= 1 && row <= BodyRows() && fModel->rows[size_t(row - 1)].marked;
}

int TScheduleGrid::BodyRows() const
{
    return fModel->rowCount();
}

void TScheduleGrid::SetCurrentCell(int row, int column)
{
    setCurrentIndex(fModel->index(row, column));
}

QVariant TScheduleGrid::CellData(int row, int column, int role) const
{
    return fModel->index(row, column).data(role);
}

void TScheduleGrid::SetMarkerIcon(const QIcon &icon)
{
    fModel->marker = icon;
}
