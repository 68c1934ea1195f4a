#pragma once

// What a record test reads back from the database, through its own
// connection.
#include "records/databaseconfig.h"
#include "records/recordsdatabase.h"
#include "records/testrecord.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

class StoredRecords
{
public:
    explicit StoredRecords(const DatabaseConfig &config)
    {
        const QString name = QStringLiteral("stored-records-%1").arg(++counter());
        m_opened = RecordsDatabase::open(config, name, &m_error);
        m_name = name;
    }
    ~StoredRecords() { RecordsDatabase::close(m_name); }

    bool isOpen() const { return m_opened; }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    QVariant value(const QString &sql) const
    {
        QSqlQuery query(db());
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    int count(const QString &sqlWhere) const { return value(QStringLiteral("SELECT COUNT(*) ") + sqlWhere).toInt(); }

    // The test's points in seq order; *contiguous says whether seq runs
    // 0, 1, 2, … without a gap.
    QVector<RecordedPoint> points(qint64 testId, bool *contiguous = nullptr) const
    {
        QSqlQuery query(db());
        query.exec(QStringLiteral("SELECT seq, stroke, distance, force FROM curve_points "
                                  "WHERE test_id = %1 ORDER BY seq").arg(testId));
        QVector<RecordedPoint> points;
        bool noGap = true;
        while (query.next()) {
            noGap = noGap && query.value(0).toLongLong() == points.size();
            points.append({query.value(1).toInt(), query.value(2).toDouble(), query.value(3).toDouble()});
        }
        if (contiguous)
            *contiguous = noGap;
        return points;
    }

private:
    static int &counter()
    {
        static int n = 0;
        return n;
    }

    QString m_name;
    QString m_error;
    bool m_opened = false;
};
