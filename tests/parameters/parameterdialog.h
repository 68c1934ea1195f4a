#pragma once

// Test fixture shared by the machine parameter dialog tests: a shown dialog
// with spies on its two request signals, and builders for the machine's
// answer vectors in the worker's layout.

#include "parameters/machineparameter.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QVector>

struct ParameterDialog
{
    ParameterDialog()
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    QString text(const char *name) const
    {
        if (auto *edit = dialog.findChild<QLineEdit *>(name))
            return edit->text();
        if (auto *label = dialog.findChild<QLabel *>(name))
            return label->text();
        return QStringLiteral("<no widget %1>").arg(name);
    }

    void click(const char *buttonName)
    {
        auto *button = dialog.findChild<QAbstractButton *>(buttonName);
        QVERIFY2(button, buttonName);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // A real click on the tab bar: only this raises tabBarClicked.
    void clickTab(int index)
    {
        QTabBar *bar = dialog.findChild<QTabWidget *>("tabWidget")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
    }

    machineParameter dialog;
    QSignalSpy setRequests {&dialog, &machineParameter::systemSetRequest};
    QSignalSpy dataRequests {&dialog, &machineParameter::systemDataRequest};
};

inline QVector<int> storedTest(int count, int current, int repeat = 10, int speed = 60,
                               int tolerance = 5)
{
    return {count, current, repeat, speed, tolerance, tolerance, tolerance, tolerance, tolerance};
}

inline QVector<float> uniformPointSet(float value)
{
    return QVector<float>(25, value);
}

inline QVector<int> record(int group, int groups, int scan, int scans)
{
    return {group, groups, scan, scans};
}

inline QVector<float> measured(const QVector<float> &forces, const QVector<float> &distances)
{
    return forces + distances;
}

inline QVector<int> noRecord()
{
    return {255, 255, 255, 255};
}

inline QList<QVariant> requestOf(int index, int scanIndex)
{
    return {index, scanIndex};
}
