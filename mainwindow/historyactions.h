#pragma once

#include "records/storedtest.h"

#include <QObject>
#include <QPointer>

class HistoryWindow;
class QAction;
class QMainWindow;
class QMenu;

// What the main window offers of the records: Records → History, Records →
// Report Header and File → Print (the report of the test on record that
// the plot shows).
// A test opened from History is handed to the window by sendStoredTest;
// the window shows it (its program's limits and verdict are the session's
// judgement, marked by the results panel) and calls showStoredTest.
class TestLoader;

class HistoryActions : public QObject
{
    Q_OBJECT

public:
    // Puts its actions into the window's menus: Print into `fileMenu`
    // before `beforeAction`, History into `recordsMenu`.
    HistoryActions(QMainWindow *window, QMenu *fileMenu, QAction *beforeAction,
                   QMenu *recordsMenu);

    QAction *historyAction() const { return m_historyAction; }
    QAction *printAction() const { return m_printAction; }
    HistoryWindow *historyWindow() const;
    qint64 shownTest() const { return m_shownTest; }

signals:
    void sendStoredTest(const StoredTest &test);

public slots:
    // The plot now shows this test on record: File → Print prints it, and
    // the status bar names it with its verdict.
    void showStoredTest(const StoredTest &test);
    // The test the window just recorded is on disk: File → Print prints it,
    // and an open History window lists it.
    void setRecordedTest(qint64 testId);
    // The plot's curves were replaced by something not on record.
    void forgetShownTest();

private slots:
    void openHistory();
    void editReportHeader();
    void print();

private:
    void printLoaded(int request, const QVector<StoredTest> &tests, const QString &error);

    QMainWindow *m_window;
    QAction *m_historyAction;
    QAction *m_printAction;
    QPointer<HistoryWindow> m_history;
    qint64 m_shownTest = 0;
    // The test printed is read off the window's thread, as History reads.
    TestLoader *m_loader;
    int m_printing = 0;
};
