#pragma once
// The event grid: a header row, the playing marker, time, name, seven
// read-only weekday boxes and the file's name, one row per event.

#include <QIcon>
#include <QTableWidget>

class TEvent;

// The time of day of `seconds` in the user's long time format, without a
// time zone; "--:--:--" for a second no day has.
QString TimeText(uint32_t seconds);
// What follows the last "/", "\" or ":" of `path`.
QString FileNameOf(const QString &path);

class TScheduleGrid : public QTableWidget {
    Q_OBJECT
public:
    enum Column { colAct, colTime, colName, colMon, colSun = colMon + 6, colFile, ColumnCount };

    explicit TScheduleGrid(QWidget *parent = nullptr);

    // One empty body row, current and unmarked.
    void Clear();
    // Body row `row` (1-based as counted with the header) shows `e`.
    void ShowEvent(int row, const TEvent &e);
    // Puts the playing marker into body row `row`, or takes it away.
    void SetMarker(int row, bool playing);
    bool HasMarker(int row) const;
    // Body rows, 1-based: row r is the event at list index r - 1.
    int BodyRows() const { return rowCount(); }
    int CurrentBodyRow() const { return currentRow() + 1; }

    void SetMarkerIcon(const QIcon &icon) { fMarker = icon; }

private:
    QTableWidgetItem *Cell(int row, int column);

    QIcon fMarker;
};
