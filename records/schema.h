#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

// The records database's tables and columns, described once. The code
// names a column by its constant here (Schema::Tests::partNumber); what the
// column is (type, NULL, default, allowed values, foreign key) is written
// once, in the migration step that made it (schema.cpp). The store, the
// reading queries, the CSV export and the migrations all take names and
// definitions from here; records/README.md says how to add a table or a
// column.
namespace Schema {

// A column as the code names it.
struct Column
{
    const char *table = nullptr;
    const char *name = nullptr;

    QString nameText() const { return QLatin1String(name); }
    bool isValid() const { return table != nullptr; }
    bool operator==(const Column &other) const;
    bool operator!=(const Column &other) const { return !(*this == other); }
};

namespace SchemaVersionTable {
constexpr char Table[] = "schema_version";
constexpr Column version{Table, "version"};
} // namespace SchemaVersionTable

// One row per test.
namespace Tests {
constexpr char Table[] = "tests";
constexpr Column id{Table, "id"};
constexpr Column startedAt{Table, "started_at"};
constexpr Column finishedAt{Table, "finished_at"};
constexpr Column status{Table, "status"};
constexpr Column operatorName{Table, "operator"};
constexpr Column partNumber{Table, "part_number"};
constexpr Column batch{Table, "batch"};
constexpr Column serialNumber{Table, "serial_number"};
constexpr Column station{Table, "station"};
constexpr Column mode{Table, "mode"};
constexpr Column distanceMode{Table, "distance_mode"};
constexpr Column speed{Table, "speed"};
constexpr Column distance{Table, "distance"};
constexpr Column machineType{Table, "machine_type"};
constexpr Column forceDecimals{Table, "force_decimals"};
constexpr Column portName{Table, "port_name"};
constexpr Column baudRate{Table, "baud_rate"};
constexpr Column dataBits{Table, "data_bits"};
constexpr Column parity{Table, "parity"};
constexpr Column stopBits{Table, "stop_bits"};
constexpr Column programNumber{Table, "program_number"};
constexpr Column programSource{Table, "program_source"};
constexpr Column program{Table, "program"};
constexpr Column verdict{Table, "verdict"};
constexpr Column rateFit{Table, "rate_fit"};
constexpr Column maxForce{Table, "max_force"};
constexpr Column hysteresisPercent{Table, "hysteresis_percent"};
constexpr Column pointCount{Table, "point_count"};
// On PostgreSQL started_at and finished_at are the server's clock; these
// keep what the station's clock said.
constexpr Column stationStartedAt{Table, "station_started_at"};
constexpr Column stationFinishedAt{Table, "station_finished_at"};
// How many amendments corrected the identity.
constexpr Column amended{Table, "amended"};
// The library version the test was judged by, and the machine's
// verification in force at Start; NULL when there was none.
constexpr Column programId{Table, "program_id"};
constexpr Column programVersion{Table, "program_version"};
constexpr Column verificationId{Table, "verification_id"};
// The spells in which the tester did not answer during the test: their
// length in all (s) and the distances they lay between (mm); NULL when the
// line held.
constexpr Column gapSeconds{Table, "gap_seconds"};
constexpr Column gapFrom{Table, "gap_from"};
constexpr Column gapTo{Table, "gap_to"};
// The installation that recorded the test (its host name is `station`),
// and the recorder's own name for the test, unique where it is set.
constexpr Column stationId{Table, "station_id"};
constexpr Column recordUid{Table, "record_uid"};
} // namespace Tests

// Both curves of a test, in acquisition order.
namespace CurvePoints {
constexpr char Table[] = "curve_points";
constexpr Column testId{Table, "test_id"};
constexpr Column stroke{Table, "stroke"};
constexpr Column seq{Table, "seq"};
constexpr Column distance{Table, "distance"};
constexpr Column force{Table, "force"};
} // namespace CurvePoints

// The verdict per test point.
namespace PointResults {
constexpr char Table[] = "point_results";
constexpr Column testId{Table, "test_id"};
constexpr Column pointNo{Table, "point_no"};
constexpr Column distance{Table, "distance"};
constexpr Column force{Table, "force"};
constexpr Column lower{Table, "lower"};
constexpr Column upper{Table, "upper"};
constexpr Column verdict{Table, "verdict"};
// Its test's part number, kept by the database (version 9), so that a
// part's results lie together in one index.
constexpr Column partNumber{Table, "part_number"};
} // namespace PointResults

// The spring rate between neighbouring test points.
namespace TestRates {
constexpr char Table[] = "test_rates";
constexpr Column testId{Table, "test_id"};
constexpr Column segmentNo{Table, "segment_no"};
constexpr Column fromPoint{Table, "from_point"};
constexpr Column toPoint{Table, "to_point"};
constexpr Column rate{Table, "rate"};
} // namespace TestRates

// Every change of a record, written by the database's triggers.
namespace AuditLog {
constexpr char Table[] = "audit_log";
constexpr Column id{Table, "id"};
constexpr Column at{Table, "at"};
constexpr Column dbUser{Table, "db_user"};
constexpr Column action{Table, "action"};
constexpr Column tableName{Table, "table_name"};
constexpr Column rowId{Table, "row_id"};
constexpr Column testId{Table, "test_id"};
constexpr Column oldValues{Table, "old_values"};
constexpr Column newValues{Table, "new_values"};
constexpr Column reason{Table, "reason"};
} // namespace AuditLog

// A reviewer's signature on a test, with its meaning.
namespace Signatures {
constexpr char Table[] = "signatures";
constexpr Column id{Table, "id"};
constexpr Column testId{Table, "test_id"};
constexpr Column dbUser{Table, "db_user"};
constexpr Column at{Table, "at"};
constexpr Column meaning{Table, "meaning"};
constexpr Column comment{Table, "comment"};
} // namespace Signatures

// A reviewer's correction of a test's identity, with the reason.
namespace Amendments {
constexpr char Table[] = "amendments";
constexpr Column id{Table, "id"};
constexpr Column testId{Table, "test_id"};
constexpr Column dbUser{Table, "db_user"};
constexpr Column at{Table, "at"};
constexpr Column field{Table, "field"};
constexpr Column oldValue{Table, "old_value"};
constexpr Column newValue{Table, "new_value"};
constexpr Column reason{Table, "reason"};
} // namespace Amendments

// One version of a program of the lab's library.
namespace Programs {
constexpr char Table[] = "programs";
constexpr Column id{Table, "id"};
constexpr Column number{Table, "number"};
constexpr Column name{Table, "name"};
constexpr Column version{Table, "version"};
constexpr Column state{Table, "state"};
constexpr Column program{Table, "program"};
constexpr Column createdBy{Table, "created_by"};
constexpr Column createdAt{Table, "created_at"};
constexpr Column approvedBy{Table, "approved_by"};
constexpr Column approvedAt{Table, "approved_at"};
constexpr Column retiredBy{Table, "retired_by"};
constexpr Column retiredAt{Table, "retired_at"};
} // namespace Programs

// The part numbers a program version judges.
namespace ProgramParts {
constexpr char Table[] = "program_parts";
constexpr Column programId{Table, "program_id"};
constexpr Column partNumber{Table, "part_number"};
} // namespace ProgramParts

// A verification of a station's machine.
namespace Verifications {
constexpr char Table[] = "verifications";
constexpr Column id{Table, "id"};
constexpr Column station{Table, "station"};
constexpr Column performedAt{Table, "performed_at"};
constexpr Column performedBy{Table, "performed_by"};
constexpr Column referenceName{Table, "reference_name"};
constexpr Column referenceCertificate{Table, "reference_certificate"};
constexpr Column referenceDue{Table, "reference_due"};
constexpr Column permittedErrorPercent{Table, "permitted_error_percent"};
constexpr Column asFound{Table, "as_found"};
constexpr Column asLeft{Table, "as_left"};
constexpr Column nextDue{Table, "next_due"};
constexpr Column source{Table, "source"};
constexpr Column certificate{Table, "certificate"};
constexpr Column recordedBy{Table, "recorded_by"};
constexpr Column recordedAt{Table, "recorded_at"};
} // namespace Verifications

// Its points, as found and as left.
namespace VerificationPoints {
constexpr char Table[] = "verification_points";
constexpr Column verificationId{Table, "verification_id"};
constexpr Column stage{Table, "stage"};
constexpr Column quantity{Table, "quantity"};
constexpr Column seq{Table, "seq"};
constexpr Column reference{Table, "reference"};
constexpr Column indicated{Table, "indicated"};
constexpr Column errorPercent{Table, "error_percent"};
} // namespace VerificationPoints

// Settings the lab shares through its database.
namespace LabSettings {
constexpr char Table[] = "lab_settings";
constexpr Column name{Table, "name"};
constexpr Column value{Table, "value"};
} // namespace LabSettings

// Control limits a reviewer or an engineer froze from a base period, per
// part number and test point. Rows are only ever added: the latest of a
// part and point is in force, unless it withdraws them.
namespace ControlLimits {
constexpr char Table[] = "control_limits";
constexpr Column id{Table, "id"};
constexpr Column partNumber{Table, "part_number"};
constexpr Column pointNo{Table, "point_no"};
constexpr Column subgroupSize{Table, "subgroup_size"};
constexpr Column locationCenter{Table, "location_center"};
constexpr Column locationUpper{Table, "location_upper"};
constexpr Column locationLower{Table, "location_lower"};
constexpr Column spreadCenter{Table, "spread_center"};
constexpr Column spreadUpper{Table, "spread_upper"};
constexpr Column spreadLower{Table, "spread_lower"};
constexpr Column baseFrom{Table, "base_from"};
constexpr Column baseTo{Table, "base_to"};
constexpr Column baseTests{Table, "base_tests"};
constexpr Column frozenBy{Table, "frozen_by"};
constexpr Column frozenAt{Table, "frozen_at"};
constexpr Column withdrawn{Table, "withdrawn"};
} // namespace ControlLimits

enum class Type {
    Key,     // the table's own id: numbered by the database, the primary key
    Integer,
    Real,
    Text,
};

// What a column is. Made once, in the step that adds the column.
struct ColumnDefinition
{
    Column column;
    Type type = Type::Text;
    bool nullable = false;
    QVariant defaultValue;        // null: none
    QVariantList allowed;         // empty: any value of the type
    Column references;            // a foreign key to another table's key, deleted with it

    ColumnDefinition(Column c, Type t) : column(c), type(t) {}
    ColumnDefinition &orNull() { nullable = true; return *this; }
    ColumnDefinition &byDefault(const QVariant &value) { defaultValue = value; return *this; }
    ColumnDefinition &only(const QVariantList &values) { allowed = values; return *this; }
    ColumnDefinition &of(Column key) { references = key; return *this; }
};

struct Index
{
    QString name;
    const char *table = nullptr;
    QVector<Column> columns;
    bool unique = false;
};

struct Table
{
    const char *name = nullptr;
    QVector<ColumnDefinition> columns;
    QVector<Column> primaryKey;   // empty: the Key column, if any
    // Reached only through its primary key: one b-tree on SQLite (WITHOUT
    // ROWID), for tables whose rows are written once and read in key order.
    bool keyOnly = false;
    QVector<Index> indexes;

    const ColumnDefinition *find(const Column &column) const;
    QVector<Column> columnNames() const;
};

// One change a migration step makes.
struct Change
{
    enum Kind { CreateTable, AddColumn, CreateIndex, DropIndex, AllowValues, Statement };
    Kind kind = Statement;
    Table table;                   // CreateTable
    ColumnDefinition column{Column(), Type::Text}; // AddColumn; AllowValues: column and allowed
    Index index;                   // CreateIndex; DropIndex: its table and name
    QString sqlite;                // Statement: run as it is on each engine;
    QString postgres;              // empty, nothing on that engine

    static Change createTable(const Table &table);
    // A NOT NULL column needs a default for the rows already there.
    static Change addColumn(const ColumnDefinition &column);
    static Change createIndex(const Index &index);
    // An index another one now serves (its columns lead that one's).
    static Change dropIndex(const char *table, const QString &name);
    // The column's CHECK now allows these values (SQLite rebuilds the table).
    static Change allowValues(const Column &column, const QVariantList &values);
    // What the description cannot say (triggers, roles, row-level
    // security): a statement per engine.
    static Change statement(const QString &sqlite, const QString &postgres);
};

// The changes from one version to the next.
using Step = QVector<Change>;

// The steps from version n to n + 1, index n; a database at version v has
// had steps 0 … v - 1 applied. A released step is never edited: a change
// is a new step at the end.
const QVector<Step> &steps();
int currentVersion();

// The tables as they stand after the first `version` steps, in the order
// they were made.
QVector<Table> tablesAt(int version, const QVector<Step> &steps = Schema::steps());
// Makes one change to the tables.
void apply(const Change &change, QVector<Table> *tables);
// A table now.
const Table &table(const char *name);

} // namespace Schema
