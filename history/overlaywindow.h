#pragma once

#include "records/storedtest.h"

#include <QVector>
#include <QWidget>

class QCustomPlot;

// Several recorded tests' curves in one plot, each test in its own colour
// (return stroke dashed), named in the legend by number and serial number.
class OverlayWindow : public QWidget
{
    Q_OBJECT

public:
    OverlayWindow(const QVector<StoredTest> &tests, QWidget *parent = nullptr);

    QCustomPlot *plot() const { return m_plot; }
    static QString legendName(const StoredTest &test);

private:
    QCustomPlot *m_plot;
};
