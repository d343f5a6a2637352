#pragma once
// TfrmHistoryPhone, "История баланса по телефону": one phone's history,
// newest row first, in a grid of twelve columns with a line above the first
// row of each day, and a chart of the balance over the shown period with the
// marking threshold.

#include "HistoryQueries.h"

#include <QDialog>
#include <QVector>

class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;
struct TProgramState;

class TfrmHistoryPhone : public QDialog {
    Q_OBJECT
public:
    explicit TfrmHistoryPhone(const TProgramState &state, QWidget *parent = nullptr, QString dbFile = QString());

    // Header "Телефон " + the phone's display text, the rows of the slot's
    // phone for the period (mode 0 all, 1 the last n days, 2 the newest n)
    // into the grid and the chart. No rows: the warning box, and the grid
    // keeps one empty row. Returns the number of rows shown.
    int FillInfo(int slot, HistoryPeriod mode, int n);
    // The rows into the grid (and the chart), as FillInfo does after reading them.
    void WriteQueryToGreed(const QVector<HistoryRow> &rows);

    QTableWidget *grid() const { return sgHistory; }
    QLabel *header() const { return plHeader; }
    QPushButton *closeButton() const { return bnClose; }
    // The chart of the balances.
    QWidget *chart() const { return chart_; }
    // The threshold line's value, or nothing when balance marking is off.
    bool thresholdShown(double *value = nullptr) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    const TProgramState &state_;
    void FitColumns();
    void CentreCloseButton();
    void FillChart(const QVector<HistoryRow> &rows, int slot);

    QString dbFile_;
    QLabel *plHeader = nullptr;
    QTableWidget *sgHistory = nullptr;
    QWidget *bottom_ = nullptr;
    QPushButton *bnClose = nullptr;
    QWidget *chart_ = nullptr;
    bool thresholdShown_ = false;
    double threshold_ = 0;
};

// The phones window's "История баланса по телефону": the grid window of the
// slot with the newest n rows (or another period), shown modally. Never
// throws (failures go to the error log).
void ShowHistoryPhone(const TProgramState &state, int slot, HistoryPeriod mode = HistoryPeriod::LastCount, int n = 50,
                      QWidget *parent = nullptr);
