#include "records/testloader.h"

#include "records/recordqueries.h"
#include "records/recordsdatabase.h"

#include <QCoreApplication>

TestLoader::TestLoader(QObject *parent)
    : QObject(parent)
    , m_reader(new QObject)
{
    m_thread.setObjectName(QStringLiteral("TestLoader"));
    m_reader->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_reader, [] { RecordsDatabase::closeForCurrentThread(); },
            Qt::DirectConnection);
    m_thread.start();
}

TestLoader::~TestLoader()
{
    m_thread.quit();
    m_thread.wait();
    delete m_reader;
}

int TestLoader::load(const QList<qint64> &ids)
{
    const int request = ++m_requested;
    QMetaObject::invokeMethod(
        m_reader,
        [this, ids, request] {
            QVector<StoredTest> tests;
            QString error;
            const QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
            if (!db.isValid()) {
                error = QCoreApplication::translate("TestLoader", "The records database cannot be opened.")
                        + QLatin1Char('\n') + error;
            }
            for (qint64 id : ids) {
                if (!error.isEmpty())
                    break;
                StoredTest test;
                QString why;
                if (RecordQueries::loadTest(db, id, true, &test, &why)) {
                    tests.append(test);
                } else {
                    error = QCoreApplication::translate("TestLoader", "Test %1 cannot be read.").arg(id)
                            + QLatin1Char('\n') + why;
                }
            }
            if (!error.isEmpty())
                tests.clear();
            QMetaObject::invokeMethod(
                this,
                [this, request, tests, error] {
                    m_answered = request;
                    emit loaded(request, tests, error);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return request;
}
