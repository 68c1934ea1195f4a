#pragma once

// A records database in a temporary folder, filled through the store the
// recorder uses, for the reading side's tests.
#include "records/databaseconfig.h"
#include "records/recordsdatabase.h"
#include "records/teststore.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <cmath>

class RecordFixture
{
public:
    RecordFixture()
    {
        config.engine = DatabaseConfig::SQLite;
        config.sqlitePath = dir.filePath(QStringLiteral("torvelin.sqlite"));
        opened = RecordsDatabase::open(config, Connection, &error);
    }
    ~RecordFixture() { RecordsDatabase::close(Connection); }

    QSqlDatabase db() const { return QSqlDatabase::database(Connection, false); }

    // A finished test; judged when verdict is not empty, with one point
    // result per force (a NaN force: not reached) between lower and upper.
    qint64 add(const QDateTime &startedAt, const QString &partNumber, const QString &batch,
               const QString &verdict, const QVector<double> &forces = {}, double lower = 0,
               double upper = 0, const QVector<RecordedPoint> &points = {})
    {
        TestStore store(db());
        TestHeader header;
        header.startedAt = startedAt;
        header.identity = {QStringLiteral("Wang"), partNumber, batch, QStringLiteral("7")};
        header.station = QStringLiteral("bench");
        header.line.portName = QStringLiteral("/dev/ttyS0");
        qint64 id = 0;
        if (!store.insertTest(header, &id)
            || (!points.isEmpty() && !store.appendPoints(id, 0, points.constData(), points.size()))) {
            error = store.lastError();
            return -1;
        }
        EvaluationRecord evaluation;
        evaluation.judged = !verdict.isEmpty();
        evaluation.programNumber = 1;
        evaluation.programSource = QStringLiteral("machine");
        evaluation.verdict = Verdicts::fromKey(verdict).value_or(Verdict::Fail);
        for (int i = 0; i < forces.size(); ++i) {
            PointResultRecord point;
            point.pointNo = i + 1;
            point.distance = 2.0 * (i + 1);
            if (!std::isnan(forces.at(i)))
                point.force = forces.at(i);
            point.lower = lower;
            point.upper = upper;
            point.verdict = !point.force ? Verdict::NotReached
                                         : Verdicts::of(*point.force >= lower && *point.force <= upper);
            evaluation.points << point;
        }
        if (!store.finishTest(id, startedAt.addSecs(12), evaluation)) {
            error = store.lastError();
            return -1;
        }
        return id;
    }

    static constexpr const char Connection[] = "record-fixture";
    QTemporaryDir dir;
    DatabaseConfig config;
    QString error;
    bool opened = false;
};
