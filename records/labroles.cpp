#include "records/labroles.h"

#include "records/audittrail.h"
#include "records/schema.h"
#include "records/schemasql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstring>

namespace LabRoles {

namespace {

namespace T = Schema::Tests;

// What the recorder writes when it ends a test (TestStore::finishTest,
// appendPoints, markInterrupted): nothing of who, what or when it started.
QString finishingColumns()
{
    return SchemaSql::names({T::finishedAt, T::status, T::programNumber, T::programSource, T::program, T::verdict,
                             T::rateFit, T::maxForce, T::hysteresisPercent, T::pointCount, T::gapSeconds,
                             T::gapFrom, T::gapTo});
}

// The records' own tables: a lab's database may hold others, which init
// leaves alone.
QStringList recordTables()
{
    QStringList tables{QLatin1String(Schema::SchemaVersionTable::Table)};
    for (const Schema::Table &table : Schema::tablesAt(Schema::currentVersion()))
        tables << QLatin1String(table.name);
    return tables;
}

// The tables an operator adds rows to for its own test.
const char *const TestRows[] = {Schema::CurvePoints::Table, Schema::PointResults::Table, Schema::TestRates::Table};

QStringList policy(const QString &name, const QString &table, const QString &rest)
{
    return {QStringLiteral("DROP POLICY IF EXISTS %1 ON %2").arg(name, table),
            QStringLiteral("CREATE POLICY %1 ON %2 %3").arg(name, table, rest)};
}

QStringList rowLevelSecurity()
{
    const QString tests = SchemaSql::name(T::Table);
    const QString operatorColumn = SchemaSql::name(T::operatorName);
    QStringList statements;
    // Whose test a row may be added to: the login's own, while it runs or
    // just after its end.
    statements << QStringLiteral(
                      "CREATE OR REPLACE FUNCTION torvelin_own_open_test(test bigint) RETURNS boolean "
                      "LANGUAGE sql STABLE AS $$ SELECT EXISTS (SELECT 1 FROM %1 t WHERE t.id = test "
                      "AND t.%2 = session_user AND (t.status = 'running' OR t.finished_at >= "
                      "torvelin_time(clock_timestamp() - interval '%3 seconds'))) $$")
                      .arg(tests, operatorColumn)
                      .arg(AuditTrail::LatePointsGraceSeconds);
    statements << QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(tests)
               << policy(QStringLiteral("torvelin_read"), tests, QStringLiteral("FOR SELECT USING (true)"))
               << policy(QStringLiteral("torvelin_record"), tests,
                         QStringLiteral("FOR INSERT TO %1 WITH CHECK (%2 = session_user AND status = 'running')")
                             .arg(Operator, operatorColumn))
               << policy(QStringLiteral("torvelin_finish"), tests,
                         QStringLiteral("FOR UPDATE TO %1 USING (%2 = session_user) WITH CHECK (%2 = session_user)")
                             .arg(Operator, operatorColumn));
    for (const char *table : TestRows) {
        const QString name = SchemaSql::name(table);
        statements << QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(name)
                   << policy(QStringLiteral("torvelin_read"), name, QStringLiteral("FOR SELECT USING (true)"))
                   << policy(QStringLiteral("torvelin_record"), name,
                             QStringLiteral("FOR INSERT TO %1 WITH CHECK (torvelin_own_open_test(test_id))")
                                 .arg(Operator));
    }
    return statements;
}

} // namespace

QStringList all()
{
    return {Operator, Reviewer, Engineer};
}

QVector<Right> rights()
{
    const QString tests = QLatin1String(T::Table);
    QVector<Right> rights{
        {Operator, QStringLiteral("INSERT"), tests},
        {Operator, QStringLiteral("UPDATE (%1)").arg(finishingColumns()), tests},
        {Reviewer, QStringLiteral("INSERT"), QLatin1String(Schema::Signatures::Table)},
        {Reviewer, QStringLiteral("INSERT"), QLatin1String(Schema::Amendments::Table)},
    };
    for (const char *table : TestRows)
        rights.append({Operator, QStringLiteral("INSERT"), QLatin1String(table)});
    // The program library is the engineers'. A draft's part numbers are
    // written again whole when it is edited; the database's guards refuse
    // that (and every other change) once the version is no longer a draft.
    rights.append({Engineer, QStringLiteral("INSERT, UPDATE"), QLatin1String(Schema::Programs::Table)});
    rights.append({Engineer, QStringLiteral("INSERT, DELETE"), QLatin1String(Schema::ProgramParts::Table)});
    rights.append({Engineer, QStringLiteral("INSERT, UPDATE"), QLatin1String(Schema::LabSettings::Table)});
    // Control limits are frozen by those who approve the process.
    for (const QString &role : {Reviewer, Engineer})
        rights.append({role, QStringLiteral("INSERT"), QLatin1String(Schema::ControlLimits::Table)});
    // A machine is verified at its station, by whoever is logged in there.
    for (const QString &role : {Operator, Engineer}) {
        rights.append({role, QStringLiteral("INSERT"), QLatin1String(Schema::Verifications::Table)});
        rights.append({role, QStringLiteral("INSERT"), QLatin1String(Schema::VerificationPoints::Table)});
    }
    return rights;
}

bool missingRoles(QSqlDatabase &db, QStringList *missing, QString *error)
{
    missing->clear();
    for (const QString &role : all()) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM pg_roles WHERE rolname = ?"));
        query.addBindValue(role);
        if (!query.exec() || !query.next()) {
            *error = query.lastError().text();
            return false;
        }
        if (query.value(0).toInt() == 0)
            missing->append(role);
    }
    return true;
}

bool statements(QSqlDatabase &db, QStringList *statements, QString *error)
{
    QStringList missing;
    if (!missingRoles(db, &missing, error))
        return false;
    QSqlQuery schemaQuery(db);
    if (!schemaQuery.exec(QStringLiteral("SELECT quote_ident(current_schema())")) || !schemaQuery.next()) {
        *error = schemaQuery.lastError().text();
        return false;
    }
    const QString schema = schemaQuery.value(0).toString();
    const QString roles = all().join(QStringLiteral(", "));

    statements->clear();
    for (const QString &role : qAsConst(missing))
        statements->append(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(role));
    statements->append(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(schema, roles));
    for (const QString &table : recordTables()) {
        const QString name = SchemaSql::name(qPrintable(table));
        statements->append(QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC, %2").arg(name, roles));
        statements->append(QStringLiteral("GRANT SELECT ON %1 TO %2").arg(name, roles));
    }
    // The ids of new rows come from the tables' sequences.
    for (const Schema::Table &table : Schema::tablesAt(Schema::currentVersion())) {
        for (const Schema::ColumnDefinition &column : table.columns) {
            if (column.type != Schema::Type::Key)
                continue;
            QSqlQuery sequence(db);
            sequence.prepare(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"));
            sequence.addBindValue(QLatin1String(table.name));
            sequence.addBindValue(column.column.nameText());
            if (!sequence.exec() || !sequence.next()) {
                *error = sequence.lastError().text();
                return false;
            }
            if (!sequence.value(0).isNull()) {
                statements->append(QStringLiteral("REVOKE ALL ON SEQUENCE %1 FROM PUBLIC, %2")
                                       .arg(sequence.value(0).toString(), roles));
                statements->append(QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2")
                                       .arg(sequence.value(0).toString(), roles));
            }
        }
    }
    for (const Right &right : rights()) {
        statements->append(QStringLiteral("GRANT %1 ON %2 TO %3")
                               .arg(right.privileges, SchemaSql::name(qPrintable(right.table)), right.role));
    }
    *statements += rowLevelSecurity();
    return true;
}

} // namespace LabRoles
