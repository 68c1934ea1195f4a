#include "records/schema.h"

#include "records/libraryguards.h"

#include <algorithm>
#include <cstring>

namespace Schema {

namespace {

using C = ColumnDefinition;

// Version 1: the tests, their curves and their evaluation.
QVector<Change> versionOne()
{
    namespace T = Tests;
    const QString none = QLatin1String("");
    Table tests{T::Table,
                {C(T::id, Type::Key),
                 C(T::startedAt, Type::Text),
                 C(T::finishedAt, Type::Text).orNull(),
                 C(T::status, Type::Text).only({"running", "complete", "interrupted"}),
                 C(T::operatorName, Type::Text).byDefault(none),
                 C(T::partNumber, Type::Text).byDefault(none),
                 C(T::batch, Type::Text).byDefault(none),
                 C(T::serialNumber, Type::Text).byDefault(none),
                 C(T::station, Type::Text).byDefault(none),
                 C(T::mode, Type::Integer),
                 C(T::distanceMode, Type::Integer),
                 C(T::speed, Type::Integer),
                 C(T::distance, Type::Real),
                 C(T::machineType, Type::Integer).byDefault(0),
                 C(T::forceDecimals, Type::Integer),
                 C(T::portName, Type::Text).byDefault(none),
                 C(T::baudRate, Type::Integer).byDefault(0),
                 C(T::dataBits, Type::Integer).byDefault(0),
                 C(T::parity, Type::Text).byDefault(none),
                 C(T::stopBits, Type::Integer).byDefault(0),
                 C(T::programNumber, Type::Integer).orNull(),
                 C(T::programSource, Type::Text).byDefault(none),
                 C(T::program, Type::Text).orNull(),
                 C(T::verdict, Type::Text).orNull().only({"pass", "fail"}),
                 C(T::rateFit, Type::Real).orNull(),
                 C(T::maxForce, Type::Real).orNull(),
                 C(T::hysteresisPercent, Type::Real).orNull(),
                 C(T::pointCount, Type::Integer).byDefault(0)},
                {},
                false,
                {}};
    Table points{CurvePoints::Table,
                 {C(CurvePoints::testId, Type::Integer).of(T::id),
                  C(CurvePoints::stroke, Type::Integer).only({0, 1}),
                  C(CurvePoints::seq, Type::Integer),
                  C(CurvePoints::distance, Type::Real),
                  C(CurvePoints::force, Type::Real)},
                 {CurvePoints::testId, CurvePoints::seq},
                 true,
                 {}};
    Table results{PointResults::Table,
                  {C(PointResults::testId, Type::Integer).of(T::id),
                   C(PointResults::pointNo, Type::Integer),
                   C(PointResults::distance, Type::Real),
                   C(PointResults::force, Type::Real).orNull(),
                   C(PointResults::lower, Type::Real),
                   C(PointResults::upper, Type::Real),
                   C(PointResults::verdict, Type::Text).only({"pass", "fail", "not reached"})},
                  {PointResults::testId, PointResults::pointNo},
                  false,
                  {}};
    Table rates{TestRates::Table,
                {C(TestRates::testId, Type::Integer).of(T::id),
                 C(TestRates::segmentNo, Type::Integer),
                 C(TestRates::fromPoint, Type::Integer),
                 C(TestRates::toPoint, Type::Integer),
                 C(TestRates::rate, Type::Real).orNull()},
                {TestRates::testId, TestRates::segmentNo},
                false,
                {}};
    return {
        Change::createTable(tests),
        Change::createIndex({QStringLiteral("tests_started_at"), T::Table, {T::startedAt}}),
        Change::createIndex({QStringLiteral("tests_part_batch"), T::Table, {T::partNumber, T::batch}}),
        Change::createIndex({QStringLiteral("tests_status"), T::Table, {T::status}}),
        Change::createTable(points),
        Change::createTable(results),
        Change::createTable(rates),
    };
}

// Version 2: the audit trail, signatures and amendments. Added columns
// have defaults, so that an INSERT naming only version 1's columns works.
QVector<Change> versionTwo()
{
    namespace T = Tests;
    namespace A = AuditLog;
    namespace S = Signatures;
    namespace M = Amendments;
    const QString none = QLatin1String("");
    Table audit{A::Table,
                {C(A::id, Type::Key),
                 C(A::at, Type::Text),
                 C(A::dbUser, Type::Text),
                 C(A::action, Type::Text).only({"insert", "update", "delete"}),
                 C(A::tableName, Type::Text),
                 C(A::rowId, Type::Integer).orNull(),
                 C(A::testId, Type::Integer).orNull(),
                 C(A::oldValues, Type::Text).orNull(),
                 C(A::newValues, Type::Text).orNull(),
                 C(A::reason, Type::Text).byDefault(none)},
                {},
                false,
                {}};
    Table signatures{S::Table,
                     {C(S::id, Type::Key),
                      C(S::testId, Type::Integer).of(T::id),
                      C(S::dbUser, Type::Text),
                      C(S::at, Type::Text),
                      C(S::meaning, Type::Text).only({"reviewed", "approved", "rejected"}),
                      C(S::comment, Type::Text).byDefault(none)},
                     {},
                     false,
                     {}};
    Table amendments{M::Table,
                     {C(M::id, Type::Key),
                      C(M::testId, Type::Integer).of(T::id),
                      C(M::dbUser, Type::Text),
                      C(M::at, Type::Text),
                      C(M::field, Type::Text).only({"part_number", "batch", "serial_number"}),
                      C(M::oldValue, Type::Text).byDefault(none),
                      C(M::newValue, Type::Text).byDefault(none),
                      C(M::reason, Type::Text)},
                     {},
                     false,
                     {}};
    return {
        Change::addColumn(C(T::stationStartedAt, Type::Text).orNull()),
        Change::addColumn(C(T::stationFinishedAt, Type::Text).orNull()),
        Change::addColumn(C(T::amended, Type::Integer).byDefault(0)),
        Change::createTable(audit),
        Change::createIndex({QStringLiteral("audit_log_test"), A::Table, {A::testId}}),
        Change::createTable(signatures),
        Change::createIndex({QStringLiteral("signatures_test"), S::Table, {S::testId}}),
        Change::createTable(amendments),
        Change::createIndex({QStringLiteral("amendments_test"), M::Table, {M::testId}}),
        // Who is at the keyboard, for the triggers of a bench's file (the
        // computer's login, set by every connection the program opens).
        Change::statement(QStringLiteral("CREATE TABLE audit_user (id INTEGER PRIMARY KEY CHECK (id = 1), "
                                         "name TEXT NOT NULL)"),
                          QString()),
    };
}

// Version 3: the program library, the machines' verifications and the
// lab's settings; each test keeps which of them it was judged and measured by.
QVector<Change> versionThree()
{
    namespace P = Programs;
    namespace V = Verifications;
    namespace VP = VerificationPoints;
    const QString none = QLatin1String("");
    const QVariantList verdicts{"pass", "fail"};
    Table programs{P::Table,
                   {C(P::id, Type::Key),
                    C(P::number, Type::Integer),
                    C(P::name, Type::Text).byDefault(none),
                    C(P::version, Type::Integer),
                    C(P::state, Type::Text).only({"draft", "approved", "retired"}),
                    C(P::program, Type::Text),
                    C(P::createdBy, Type::Text).byDefault(none),
                    C(P::createdAt, Type::Text),
                    C(P::approvedBy, Type::Text).orNull(),
                    C(P::approvedAt, Type::Text).orNull(),
                    C(P::retiredBy, Type::Text).orNull(),
                    C(P::retiredAt, Type::Text).orNull()},
                   {},
                   false,
                   {}};
    Table parts{ProgramParts::Table,
                {C(ProgramParts::programId, Type::Integer).of(P::id),
                 C(ProgramParts::partNumber, Type::Text)},
                {ProgramParts::programId, ProgramParts::partNumber},
                false,
                {}};
    Table verifications{V::Table,
                        {C(V::id, Type::Key),
                         C(V::station, Type::Text),
                         C(V::performedAt, Type::Text),
                         C(V::performedBy, Type::Text).byDefault(none),
                         C(V::referenceName, Type::Text).byDefault(none),
                         C(V::referenceCertificate, Type::Text).byDefault(none),
                         C(V::referenceDue, Type::Text).orNull(),
                         C(V::permittedErrorPercent, Type::Real),
                         C(V::asFound, Type::Text).only(verdicts),
                         C(V::asLeft, Type::Text).orNull().only(verdicts),
                         C(V::nextDue, Type::Text),
                         C(V::source, Type::Text).only({"guided", "external"}),
                         C(V::certificate, Type::Text).byDefault(none),
                         C(V::recordedBy, Type::Text).byDefault(none),
                         C(V::recordedAt, Type::Text)},
                        {},
                        false,
                        {}};
    Table points{VP::Table,
                 {C(VP::verificationId, Type::Integer).of(V::id),
                  C(VP::stage, Type::Text).only({"as found", "as left"}),
                  C(VP::quantity, Type::Text).only({"force", "distance"}),
                  C(VP::seq, Type::Integer),
                  C(VP::reference, Type::Real),
                  C(VP::indicated, Type::Real),
                  C(VP::errorPercent, Type::Real)},
                 {VP::verificationId, VP::stage, VP::quantity, VP::seq},
                 false,
                 {}};
    Table settings{LabSettings::Table,
                   {C(LabSettings::name, Type::Text), C(LabSettings::value, Type::Text)},
                   {LabSettings::name},
                   false,
                   {}};
    Step step{
        Change::createTable(programs),
        Change::createIndex({QStringLiteral("programs_number_version"), P::Table, {P::number, P::version}, true}),
        Change::createTable(parts),
        Change::createIndex({QStringLiteral("program_parts_part"), ProgramParts::Table, {ProgramParts::partNumber}}),
        Change::createTable(verifications),
        Change::createIndex({QStringLiteral("verifications_station"), V::Table, {V::station, V::performedAt}}),
        Change::createTable(points),
        Change::createTable(settings),
        // Plain ids, not foreign keys: a record outlives nothing it names,
        // since neither a version nor a verification is ever deleted.
        Change::addColumn(C(Tests::programId, Type::Integer).orNull()),
        Change::addColumn(C(Tests::programVersion, Type::Integer).orNull()),
        Change::addColumn(C(Tests::verificationId, Type::Integer).orNull()),
    };
    for (const LibraryGuards::Statement &guard : LibraryGuards::statements())
        step << Change::statement(guard.sqlite, guard.postgres);
    return step;
}

// Version 4: control limits frozen from a base period.
QVector<Change> versionFour()
{
    namespace L = ControlLimits;
    Table limits{L::Table,
                 {C(L::id, Type::Key),
                  C(L::partNumber, Type::Text),
                  C(L::pointNo, Type::Integer),
                  C(L::subgroupSize, Type::Integer),
                  C(L::locationCenter, Type::Real),
                  C(L::locationUpper, Type::Real),
                  C(L::locationLower, Type::Real),
                  C(L::spreadCenter, Type::Real),
                  C(L::spreadUpper, Type::Real),
                  C(L::spreadLower, Type::Real),
                  C(L::baseFrom, Type::Text).orNull(),
                  C(L::baseTo, Type::Text).orNull(),
                  C(L::baseTests, Type::Integer),
                  C(L::frozenBy, Type::Text),
                  C(L::frozenAt, Type::Text),
                  C(L::withdrawn, Type::Integer).byDefault(0).only({0, 1})},
                 {},
                 false,
                 {}};
    Step step{
        Change::createTable(limits),
        Change::createIndex({QStringLiteral("control_limits_part_point"), L::Table,
                             {L::partNumber, L::pointNo, L::id}}),
    };
    for (const LibraryGuards::Statement &guard : LibraryGuards::controlLimitStatements())
        step << Change::statement(guard.sqlite, guard.postgres);
    return step;
}

// Version 5: which installation recorded a test, and the recorder's name
// for it, with which a write tried again after a lost reply finds its rows.
QVector<Change> versionFive()
{
    namespace T = Tests;
    return {
        Change::addColumn(C(T::stationId, Type::Text).byDefault(QLatin1String(""))),
        Change::addColumn(C(T::recordUid, Type::Text).orNull()),
        Change::createIndex({QStringLiteral("tests_record_uid"), T::Table, {T::recordUid}, true}),
    };
}

// Version 6: a test stopped before the machine returned is aborted, and a
// test keeps the line's gaps.
QVector<Change> versionSix()
{
    namespace T = Tests;
    return {
        Change::allowValues(T::status, {"running", "complete", "interrupted", "aborted"}),
        Change::addColumn(C(T::gapSeconds, Type::Real).orNull()),
        Change::addColumn(C(T::gapFrom, Type::Real).orNull()),
        Change::addColumn(C(T::gapTo, Type::Real).orNull()),
    };
}

// Version 7: the statistics of a part read its tests from one index, in the
// order they were tested, and each test's point results from another,
// neither touching the wide rows (both cover every column those statements
// read).
QVector<Change> versionSeven()
{
    namespace T = Tests;
    namespace R = PointResults;
    return {
        Change::createIndex({QStringLiteral("tests_part_started"), T::Table,
                             {T::partNumber, T::startedAt, T::id, T::status}}),
        Change::createIndex({QStringLiteral("point_results_forces"), R::Table,
                             {R::testId, R::pointNo, R::force, R::lower, R::upper}}),
    };
}

// Version 8: the counts of a part's verdicts read from the index its
// statistics read, which therefore also holds the verdict; the index it
// replaces would be one more to write with every test and serve nothing.
QVector<Change> versionEight()
{
    namespace T = Tests;
    return {
        Change::createIndex({QStringLiteral("tests_part_verdicts"), T::Table,
                             {T::partNumber, T::startedAt, T::id, T::status, T::verdict}}),
        Change::dropIndex(T::Table, QStringLiteral("tests_part_started")),
    };
}

// Version 9: a part's statistics read its point results from one place in
// one index, not from wherever its tests lie among every other part's. Each
// point result carries its test's part number, which the database keeps: it
// is written with the result and follows the test's when an amendment
// changes it. Filling it in for the results already on record is a copy,
// not a change of what was measured: the trail keeps the tests' part
// numbers, and the copy is left out of it.
QVector<Change> versionNine()
{
    namespace R = PointResults;
    namespace T = Tests;
    Step step{
        Change::addColumn(C(R::partNumber, Type::Text).byDefault(QLatin1String(""))),
        Change::statement(QStringLiteral("UPDATE point_results SET part_number = COALESCE((SELECT t.part_number "
                                         "FROM tests t WHERE t.id = point_results.test_id), '')"),
                          QString()),
        Change::statement(QString(), QStringLiteral("ALTER TABLE point_results DISABLE TRIGGER USER")),
        Change::statement(QString(), QStringLiteral("UPDATE point_results r SET part_number = t.part_number "
                                                    "FROM tests t WHERE t.id = r.test_id")),
        Change::statement(QString(), QStringLiteral("ALTER TABLE point_results ENABLE TRIGGER USER")),
        Change::createIndex({QStringLiteral("point_results_part"), R::Table,
                             {R::partNumber, R::testId, R::pointNo, R::force, R::lower, R::upper}}),
        Change::dropIndex(R::Table, QStringLiteral("point_results_forces")),
    };
    // The server's own: a station's value, or none, is replaced by the test's.
    // (On a bench's file the trail's triggers keep it, installed again after
    // every upgrade, which may rebuild these tables.)
    step << Change::statement(QString(), QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_point_part()
RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.part_number := coalesce((SELECT t.part_number FROM tests t WHERE t.id = NEW.test_id), '');
  RETURN NEW;
END $$)"));
    step << Change::statement(QString(), QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_point_part BEFORE "
                                                        "INSERT OR UPDATE ON point_results FOR EACH ROW "
                                                        "EXECUTE FUNCTION torvelin_point_part()"));
    // Only the owner changes a test's part number, itself or through a
    // reviewer's amendment; its results follow, on the trail with its reason.
    step << Change::statement(QString(), QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_test_part()
RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  UPDATE point_results SET part_number = NEW.part_number WHERE test_id = NEW.id;
  RETURN NULL;
END $$)"));
    step << Change::statement(QString(), QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_test_part AFTER UPDATE "
                                                        "OF %1 ON tests FOR EACH ROW WHEN (OLD.%1 IS DISTINCT FROM "
                                                        "NEW.%1) EXECUTE FUNCTION torvelin_test_part()")
                                                  .arg(T::partNumber.nameText()));
    return step;
}

} // namespace

void apply(const Change &change, QVector<Table> *tables)
{
    auto tableOf = [tables](const char *name) -> Table * {
        for (Table &table : *tables) {
            if (std::strcmp(table.name, name) == 0)
                return &table;
        }
        Q_ASSERT_X(false, "Schema", "a change to a table that does not exist");
        return nullptr;
    };
    switch (change.kind) {
    case Change::CreateTable:
        tables->append(change.table);
        break;
    case Change::AddColumn:
        if (Table *table = tableOf(change.column.column.table))
            table->columns.append(change.column);
        break;
    case Change::CreateIndex:
        if (Table *table = tableOf(change.index.table))
            table->indexes.append(change.index);
        break;
    case Change::DropIndex:
        if (Table *table = tableOf(change.index.table)) {
            const QString &dropped = change.index.name;
            table->indexes.erase(std::remove_if(table->indexes.begin(), table->indexes.end(),
                                                [&](const Index &index) { return index.name == dropped; }),
                                 table->indexes.end());
        }
        break;
    case Change::AllowValues:
        if (Table *table = tableOf(change.column.column.table)) {
            for (ColumnDefinition &column : table->columns) {
                if (column.column == change.column.column)
                    column.allowed = change.column.allowed;
            }
        }
        break;
    case Change::Statement:
        break;
    }
}

bool Column::operator==(const Column &other) const
{
    if (!isValid() || !other.isValid())
        return isValid() == other.isValid();
    return std::strcmp(table, other.table) == 0 && std::strcmp(name, other.name) == 0;
}

const ColumnDefinition *Table::find(const Column &column) const
{
    for (const ColumnDefinition &definition : columns) {
        if (definition.column == column)
            return &definition;
    }
    return nullptr;
}

QVector<Column> Table::columnNames() const
{
    QVector<Column> names;
    names.reserve(columns.size());
    for (const ColumnDefinition &definition : columns)
        names.append(definition.column);
    return names;
}

Change Change::createTable(const Table &table)
{
    Change change;
    change.kind = CreateTable;
    change.table = table;
    return change;
}

Change Change::addColumn(const ColumnDefinition &column)
{
    Q_ASSERT_X(column.nullable || !column.defaultValue.isNull(), "Schema",
               "a NOT NULL column added to rows already there needs a default");
    Change change;
    change.kind = AddColumn;
    change.column = column;
    return change;
}

Change Change::createIndex(const Index &index)
{
    Change change;
    change.kind = CreateIndex;
    change.index = index;
    return change;
}

Change Change::dropIndex(const char *table, const QString &name)
{
    Change change;
    change.kind = DropIndex;
    change.index.table = table;
    change.index.name = name;
    return change;
}

Change Change::allowValues(const Column &column, const QVariantList &values)
{
    Change change;
    change.kind = AllowValues;
    change.column = ColumnDefinition(column, Type::Text).only(values);
    return change;
}

Change Change::statement(const QString &sqlite, const QString &postgres)
{
    Change change;
    change.kind = Statement;
    change.sqlite = sqlite;
    change.postgres = postgres;
    return change;
}

const QVector<Step> &steps()
{
    // A later version appends its step here.
    static const QVector<Step> all{
        versionOne(),
        versionTwo(),
        versionThree(),
        versionFour(),
        versionFive(),
        versionSix(),
        versionSeven(),
        versionEight(),
        versionNine(),
    };
    return all;
}

int currentVersion()
{
    return steps().size();
}

QVector<Table> tablesAt(int version, const QVector<Step> &steps)
{
    QVector<Table> tables;
    for (int step = 0; step < version && step < steps.size(); ++step) {
        for (const Change &change : steps.at(step))
            apply(change, &tables);
    }
    return tables;
}

const Table &table(const char *name)
{
    static const QVector<Table> now = tablesAt(currentVersion());
    for (const Table &table : now) {
        if (std::strcmp(table.name, name) == 0)
            return table;
    }
    Q_ASSERT_X(false, "Schema::table", name);
    static const Table none;
    return none;
}

} // namespace Schema
