#pragma once
// The event grid: a header row, the playing marker, time, name, seven
// read-only weekday boxes and the file's name, one row per event.

#include <QIcon>
#include <QVariant>
#include <QTableView>

class TEvent;
class TEventList;
class TScheduleModel;

// The time of day of `seconds` in the user's long time format, without a
// time zone; "--:--:--" for a second no day has.
QString TimeText(uint32_t seconds);
// What follows the last "/", "\" or ":" of `path`.
QString FileNameOf(const QString &path);

// Shows what the events held when they were last shown; the cells are made
// when they are painted, so a schedule of any length shows at once.
class TScheduleGrid : public QTableView {
    Q_OBJECT
public:
    enum Column { colAct, colTime, colName, colMon, colSun = colMon + 6, colFile, ColumnCount };

    explicit TScheduleGrid(QWidget *parent = nullptr);

    // One empty body row, current and unmarked.
    void Clear();
    // Body row i + 1 shows event i of `events`; one empty row when there are
    // none. No row is marked afterwards.
    void ShowEvents(const TEventList &events);
    // Puts the playing marker into body row `row`, or takes it away.
    void SetMarker(int row, bool playing);
    bool HasMarker(int row) const;
    // Body rows, 1-based: row r is the event at list index r - 1.
    int BodyRows() const;
    int CurrentBodyRow() const { return currentIndex().row() + 1; }
    // Makes the cell at 0-based `row` and `column` the current one.
    void SetCurrentCell(int row, int column);
    // What a cell shows in `role`; invalid for an empty row.
    QVariant CellData(int row, int column, int role = Qt::DisplayRole) const;

    void SetMarkerIcon(const QIcon &icon);

signals:
    // A cell was double-clicked (0-based row and column).
    void cellDoubleClicked(int row, int column);

private:
    TScheduleModel *fModel;
};
