#pragma once

#include "records/recordqueries.h"

#include <QWidget>

namespace Ui {
class StatisticsWindow;
}

// Batch statistics of a filter: counts, a table of figures per test point,
// the histogram of one point's forces with its limits and its control chart
// judged by the rules switched on (limits from the data or frozen for the
// part number); the batch report as PDF or on paper.
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
    void on_nelsonBtn_clicked();
    void on_westernElectricBtn_clicked();
    void on_freezeBtn_clicked();
    void on_withdrawBtn_clicked();
    void on_reportBtn_clicked();
    void on_printBtn_clicked();

private:
    void showBatch();
    void showChart(int pointNo);
    void showRules();
    void rulesChosen();
    // The rules and subgroup size chosen become the station's.
    void rememberChoice();
    bool reload();
    QVector<class QCheckBox *> ruleChecks() const;
    bool loadTests(QVector<StoredTest> *tests);

    Ui::StatisticsWindow *ui;
    RecordQueries::Batch m_batch;
};
