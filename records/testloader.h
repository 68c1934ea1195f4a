#pragma once

#include "records/storedtest.h"

#include <QList>
#include <QObject>
#include <QThread>
#include <QVector>

// Reads tests with their curve points on a thread of its own, through that
// thread's reader connection: a slow server or a record of millions of
// points never holds up the window (a test may be running in it). At most
// RecordQueries::MaxPointsRead points of a test are read.
class TestLoader : public QObject
{
    Q_OBJECT

public:
    explicit TestLoader(QObject *parent = nullptr);
    // Waits for a read under way to end (the statement timeout bounds it).
    ~TestLoader() override;

    // Reads the tests, in the order given; loaded() answers with the number
    // returned. Requests are answered one after the other, in order.
    int load(const QList<qint64> &ids);
    bool isLoading() const { return m_answered != m_requested; }

signals:
    // The tests read, or an error (translated what, then the database's why)
    // and no tests.
    void loaded(int request, const QVector<StoredTest> &tests, const QString &error);

private:
    QThread m_thread;
    QObject *m_reader;
    int m_requested = 0;
    int m_answered = 0;
};
