// The "Values" window, opened from View > Values...: the points in a
// table over a trend chart of the ticked ones, both fed from one reading
// of the points every 100 ms while the window is shown. Without points it
// says how to add them. A second top-level window of the main one, not
// modal; nothing of it is kept between runs.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QSplitter;
class QTableView;

namespace tarvik {

class CoreValues;
class TrendChart;
class UnitTables;
class ValuesTableModel;

inline constexpr int kValuesRefreshMs = 100;

class ValuesWindow final : public QWidget {
    Q_OBJECT
public:
    ValuesWindow(const CoreValues& values, UnitTables& units, QWidget* parent = nullptr);

    // The points changed (a reload): table and chart start again from them.
    void Rebuild();
    // One reading of every point: the table's texts, and a sample of each
    // ticked point for the chart. Every 100 ms while shown.
    void Refresh();

    QTableView* Table() const { return table_; }
    ValuesTableModel* Model() const { return model_; }
    TrendChart* Chart() const { return chart_; }
    // "No points: ...", shown instead of table and chart.
    QLabel* NoPointsLabel() const { return noPoints_; }
    // The 100 ms refresh, for probes that time it.
    const QTimer& RefreshTimer() const { return refreshTimer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FollowTick(int row, bool ticked);
    void ShowRefusal(const QString& message);

    ValuesTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    TrendChart* chart_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QLabel* noPoints_ = nullptr;
    QTimer refreshTimer_;
    QElapsedTimer clock_;
};

}  // namespace tarvik
