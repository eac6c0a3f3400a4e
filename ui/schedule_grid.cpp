#include "schedule_grid.h"

#include "global.h"
#include "project_classes.h"

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

} // namespace

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

TScheduleGrid::TScheduleGrid(QWidget *parent) : QTableWidget(0, ColumnCount, parent)
{
    setHorizontalHeaderLabels({QStringLiteral("Act"), QStringLiteral("Time"), QStringLiteral("Name"),
                               QStringLiteral("Mon"), QStringLiteral("Tue"), QStringLiteral("Wed"),
                               QStringLiteral("Thu"), QStringLiteral("Fri"), QStringLiteral("Sat"),
                               QStringLiteral("Sun"), QStringLiteral("File")});
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

QTableWidgetItem *TScheduleGrid::Cell(int row, int column)
{
    QTableWidgetItem *item = this->item(row - 1, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row - 1, column, item);
    }
    return item;
}

void TScheduleGrid::Clear()
{
    setRowCount(0); // everything in the old rows goes with them
    setRowCount(1);
    setCurrentCell(0, colTime);
}

void TScheduleGrid::ShowEvent(int row, const TEvent &e)
{
    if (rowCount() < row)
        setRowCount(row);
    Cell(row, colAct);
    Cell(row, colTime)->setText(TimeText(e.TimeSeconds));
    Cell(row, colName)->setText(e.Name());
    const bool days[7] = {e.Mon, e.Tue, e.Wed, e.Thu, e.Fri, e.Sat, e.Sun};
    static const char *const names[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                         "Saturday", "Sunday"};
    for (int d = 0; d < 7; ++d) {
        QTableWidgetItem *box = Cell(row, colMon + d);
        box->setCheckState(days[d] ? Qt::Checked : Qt::Unchecked);
        box->setData(Qt::AccessibleTextRole, QStringLiteral("%1: %2").arg(QLatin1String(names[d]),
                                                                        days[d] ? QStringLiteral("yes") : QStringLiteral("no")));
    }
    Cell(row, colFile)->setText(FileNameOf(e.AudioFile));
    Cell(row, colFile)->setToolTip(e.AudioFile);
}

void TScheduleGrid::SetMarker(int row, bool playing)
{
    if (row < 1 || row > rowCount())
        return;
    QTableWidgetItem *cell = Cell(row, colAct);
    cell->setIcon(playing ? fMarker : QIcon());
    cell->setData(Qt::AccessibleTextRole, playing ? QStringLiteral("Playing") : QString());
}

bool TScheduleGrid::HasMarker(int row) const
{
    const QTableWidgetItem *cell = item(row - 1, colAct);
    return cell && !cell->icon().isNull();
}
