#pragma once

#include "records/recordqueries.h"

#include <QWidget>

namespace Ui {
class StatisticsWindow;
}

// Batch statistics of a filter: counts, a table of figures per test point
// and the histogram of one point's forces with its limits; the batch report
// as PDF or on paper.
class StatisticsWindow : public QWidget
{
    Q_OBJECT

public:
    StatisticsWindow(const HistoryFilter &filter, QWidget *parent = nullptr);
    ~StatisticsWindow() override;

    const RecordQueries::Batch &batch() const { return m_batch; }

private slots:
    void on_pointCombo_currentIndexChanged(int index);
    void on_subgroupSpin_valueChanged(int size);
    void on_reportBtn_clicked();
    void on_printBtn_clicked();

private:
    void showBatch();
    bool loadTests(QVector<StoredTest> *tests);

    Ui::StatisticsWindow *ui;
    RecordQueries::Batch m_batch;
};
