#include "records/audittrail.h"

#include "records/recordsdatabase.h"
#include "records/schemasql.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstring>

namespace AuditTrail {

namespace {

namespace T = Schema::Tests;

// Every SQLite trigger of the trail starts with this, so that installing
// again finds and replaces them (and nothing else).
const char Prefix[] = "torvelin_trail_";

const char *const Actions[] = {"insert", "update", "delete"};

// The column that names a row in the trail: the table's own id, else the
// test it belongs to.
QString rowIdColumn(const Schema::Table &table)
{
    for (const Schema::ColumnDefinition &column : table.columns) {
        if (column.type == Schema::Type::Key)
            return column.column.nameText();
    }
    return table.find(Schema::Column{table.name, "test_id"}) ? QStringLiteral("test_id") : QString();
}

// The column that says which test a row is about.
QString testIdColumn(const Schema::Table &table)
{
    if (std::strcmp(table.name, T::Table) == 0)
        return T::id.nameText();
    return table.find(Schema::Column{table.name, "test_id"}) ? QStringLiteral("test_id") : QString();
}

// Fills {name} placeholders: PL/pgSQL's own % must stay as it is.
QString filled(QString text, const QVector<QPair<QString, QString>> &values)
{
    for (const auto &value : values)
        text.replace(QLatin1Char('{') + value.first + QLatin1Char('}'), value.second);
    return text;
}

// ---- SQLite --------------------------------------------------------------

const char SqliteNow[] = "strftime('%Y-%m-%dT%H:%M:%fZ', 'now')";

// json_object('id', NEW.id, …): the row as the trail keeps it.
QString sqliteRow(const QString &row, const Schema::Table &table)
{
    QStringList pairs;
    for (const Schema::ColumnDefinition &column : table.columns) {
        pairs << QStringLiteral("'%1', %2.%3")
                     .arg(column.column.nameText(), row, SchemaSql::name(column.column));
    }
    return QStringLiteral("json_object(%1)").arg(pairs.join(QStringLiteral(", ")));
}

// A running test counting its points is recording, not a change of record:
// four such updates a second would bury the trail.
QString sqliteRecordingOnly(const Schema::Table &tests)
{
    QStringList same;
    for (const Schema::ColumnDefinition &column : tests.columns) {
        if (column.column != T::pointCount)
            same << QStringLiteral("OLD.%1 IS NEW.%1").arg(SchemaSql::name(column.column));
    }
    return QStringLiteral("OLD.status = 'running' AND NEW.status = 'running' AND ")
           + same.join(QStringLiteral(" AND "));
}

QStringList sqliteAuditTriggers(const Schema::Table &table)
{
    const QString name = QLatin1String(table.name);
    const bool isTests = name == QLatin1String(T::Table);
    const bool isAmendments = name == QLatin1String(Schema::Amendments::Table);
    const QString rowId = rowIdColumn(table);
    const QString testId = testIdColumn(table);
    QStringList statements;
    for (const char *actionName : Actions) {
        const QString action = QLatin1String(actionName);
        const QString row = action == QLatin1String("delete") ? QStringLiteral("OLD") : QStringLiteral("NEW");
        QString when;
        QString reason = QStringLiteral("''");
        if (isTests && action == QLatin1String("update")) {
            when = QStringLiteral(" WHEN NOT (%1)").arg(sqliteRecordingOnly(table));
            reason = QStringLiteral("CASE WHEN NEW.amended > OLD.amended THEN (SELECT reason FROM amendments "
                                    "WHERE test_id = NEW.id ORDER BY id DESC LIMIT 1) ELSE '' END");
        } else if (isAmendments && action == QLatin1String("insert")) {
            reason = QStringLiteral("NEW.reason");
        }
        const QString values = QStringList{
            QLatin1String(SqliteNow),
            QStringLiteral("COALESCE((SELECT name FROM audit_user), '')"),
            QLatin1Char('\'') + action + QLatin1Char('\''),
            QLatin1Char('\'') + name + QLatin1Char('\''),
            rowId.isEmpty() ? QStringLiteral("NULL") : row + QLatin1Char('.') + rowId,
            testId.isEmpty() ? QStringLiteral("NULL") : row + QLatin1Char('.') + testId,
            action == QLatin1String("insert") ? QStringLiteral("NULL") : sqliteRow(QStringLiteral("OLD"), table),
            action == QLatin1String("delete") ? QStringLiteral("NULL") : sqliteRow(QStringLiteral("NEW"), table),
            reason,
        }.join(QStringLiteral(", "));
        statements << QStringLiteral("CREATE TRIGGER %1audit_%2_%3 AFTER %4 ON %5%6 BEGIN INSERT INTO audit_log "
                                     "(at, db_user, action, table_name, row_id, test_id, old_values, new_values, "
                                     "reason) VALUES (%7); END")
                          .arg(QLatin1String(Prefix), name, action, action.toUpper(), SchemaSql::name(table.name),
                               when, values);
    }
    return statements;
}

QStringList sqliteStatements()
{
    QStringList statements;
    for (const Schema::Table *table : auditedTables())
        statements += sqliteAuditTriggers(*table);
    // The trail, the signatures and the amendments only grow (on a bench's
    // file as far as its permissions protect it: whoever may write the file
    // may drop these triggers).
    for (const char *table : {Schema::AuditLog::Table, Schema::Signatures::Table, Schema::Amendments::Table}) {
        for (const QString &action : {QStringLiteral("update"), QStringLiteral("delete")}) {
            statements << QStringLiteral("CREATE TRIGGER %1keep_%2_%3 BEFORE %4 ON %2 BEGIN SELECT RAISE(ABORT, "
                                         "'%2 only grows: its rows are never changed or deleted'); END")
                              .arg(QLatin1String(Prefix), QLatin1String(table), action, action.toUpper());
        }
    }
    statements << QStringLiteral(
        "CREATE TRIGGER torvelin_trail_amendment_reason BEFORE INSERT ON amendments WHEN trim(NEW.reason) = '' "
        "BEGIN SELECT RAISE(ABORT, 'an amendment needs a reason'); END");
    statements << QStringLiteral(
        "CREATE TRIGGER torvelin_trail_amendment_apply AFTER INSERT ON amendments BEGIN UPDATE tests SET "
        "part_number = CASE WHEN NEW.field = 'part_number' THEN NEW.new_value ELSE part_number END, "
        "batch = CASE WHEN NEW.field = 'batch' THEN NEW.new_value ELSE batch END, "
        "serial_number = CASE WHEN NEW.field = 'serial_number' THEN NEW.new_value ELSE serial_number END, "
        "amended = amended + 1 WHERE id = NEW.test_id; END");
    // A point result carries its test's part number: written with it by the
    // recorder, put right when written otherwise, and following the test's.
    statements << QStringLiteral(
        "CREATE TRIGGER torvelin_trail_point_part AFTER INSERT ON point_results WHEN NEW.part_number IS NOT "
        "COALESCE((SELECT part_number FROM tests WHERE id = NEW.test_id), '') BEGIN UPDATE point_results SET "
        "part_number = COALESCE((SELECT part_number FROM tests WHERE id = NEW.test_id), '') "
        "WHERE test_id = NEW.test_id AND point_no = NEW.point_no; END");
    statements << QStringLiteral(
        "CREATE TRIGGER torvelin_trail_test_part AFTER UPDATE OF part_number ON tests WHEN OLD.part_number IS NOT "
        "NEW.part_number BEGIN UPDATE point_results SET part_number = NEW.part_number WHERE test_id = NEW.id; END");
    return statements;
}

struct InstalledTrigger
{
    QString name;
    QString sql;
};

// The trail's triggers the file holds now: the one listing both the check
// and the reinstall go by.
QVector<InstalledTrigger> sqliteInstalled(QSqlDatabase &db)
{
    QVector<InstalledTrigger> installed;
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'trigger' "
                                  "AND substr(name, 1, %1) = '%2'")
                       .arg(std::strlen(Prefix))
                       .arg(QLatin1String(Prefix)))) {
        while (query.next())
            installed.append({query.value(0).toString(), query.value(1).toString()});
    }
    return installed;
}

QStringList sqliteDrops(QSqlDatabase &db)
{
    QStringList drops;
    for (const InstalledTrigger &trigger : sqliteInstalled(db))
        drops << QStringLiteral("DROP TRIGGER %1").arg(trigger.name);
    return drops;
}

// ---- PostgreSQL ----------------------------------------------------------

// Every function runs with the schema of the records first, whatever the
// caller's search_path: a SECURITY DEFINER function must never find a
// table someone else put earlier on the path.
QStringList postgresFunctions()
{
    QStringList statements;
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_time(t timestamptz) RETURNS text LANGUAGE sql STABLE "
        "AS $$ SELECT to_char(t AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') $$");

    // The server's clock and the login on every test, whatever the station
    // sends. A finished test changes only by a reviewer's amendment, by the
    // points still on their way at Stop, or by the database's owner (in the
    // trail like everyone).
    statements << QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_tests_stamp() RETURNS trigger
LANGUAGE plpgsql SET search_path = {schema}, pg_catalog AS $$
DECLARE changed text[];
BEGIN
  IF TG_OP = 'INSERT' THEN
    NEW."operator" := session_user;
    NEW.station_started_at := NEW.started_at;
    NEW.started_at := torvelin_time(clock_timestamp());
    RETURN NEW;
  END IF;
  IF OLD.finished_at IS NULL AND NEW.finished_at IS NOT NULL THEN
    NEW.station_finished_at := NEW.finished_at;
    NEW.finished_at := torvelin_time(clock_timestamp());
  END IF;
  IF OLD.status = 'running' THEN RETURN NEW; END IF;
  IF pg_has_role(session_user, (SELECT relowner FROM pg_class WHERE oid = TG_RELID), 'MEMBER') THEN
    RETURN NEW;
  END IF;
  SELECT coalesce(array_agg(n.key), '{}') INTO changed FROM jsonb_each(to_jsonb(NEW)) n
    WHERE n.value IS DISTINCT FROM to_jsonb(OLD) -> n.key;
  IF changed <@ ARRAY['point_count'] AND NEW.point_count >= OLD.point_count
     AND OLD.finished_at >= torvelin_time(clock_timestamp() - interval '{grace} seconds') THEN
    RETURN NEW;
  END IF;
  IF pg_trigger_depth() > 1 AND changed <@ ARRAY['part_number', 'batch', 'serial_number', 'amended'] THEN
    RETURN NEW;
  END IF;
  RAISE EXCEPTION 'test % is %: a finished test is changed only by a reviewer''s amendment', OLD.id, OLD.status
    USING ERRCODE = 'insufficient_privilege';
END $$)");

    // Written as the owner: no login may write audit_log itself. TG_ARGV
    // names the row's id column and its test's id column.
    statements << QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_audit() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = {schema}, pg_catalog AS $$
DECLARE old_row jsonb; new_row jsonb; r jsonb;
BEGIN
  IF TG_OP <> 'INSERT' THEN old_row := to_jsonb(OLD); END IF;
  IF TG_OP <> 'DELETE' THEN new_row := to_jsonb(NEW); END IF;
  IF TG_OP = 'UPDATE' AND TG_TABLE_NAME = 'tests' AND old_row ->> 'status' = 'running'
     AND new_row ->> 'status' = 'running' AND (old_row - 'point_count') = (new_row - 'point_count') THEN
    RETURN NULL;
  END IF;
  r := coalesce(new_row, old_row);
  INSERT INTO audit_log (at, db_user, action, table_name, row_id, test_id, old_values, new_values, reason)
  VALUES (torvelin_time(clock_timestamp()), session_user, lower(TG_OP), TG_TABLE_NAME,
          (r ->> TG_ARGV[0])::bigint, (r ->> TG_ARGV[1])::bigint, old_row::text, new_row::text,
          CASE WHEN TG_TABLE_NAME = 'amendments' THEN r ->> 'reason'
               ELSE coalesce(current_setting('{reason}', true), '') END);
  RETURN NULL;
END $$)");

    // Who signed or amended, and when, is the server's to say. All the
    // signatures of one signing share the transaction's time.
    statements << QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_signer_stamp() RETURNS trigger
LANGUAGE plpgsql SET search_path = {schema}, pg_catalog AS $$
BEGIN
  NEW.db_user := session_user;
  NEW.at := torvelin_time(now());
  IF TG_TABLE_NAME = 'amendments' THEN
    IF trim(coalesce(NEW.reason, '')) = '' THEN
      RAISE EXCEPTION 'an amendment needs a reason' USING ERRCODE = 'check_violation';
    END IF;
    SELECT CASE NEW.field WHEN 'part_number' THEN t.part_number WHEN 'batch' THEN t.batch
                          WHEN 'serial_number' THEN t.serial_number END
      INTO NEW.old_value FROM tests t WHERE t.id = NEW.test_id;
  END IF;
  RETURN NEW;
END $$)");

    // A reviewer may not update tests; the amendment does it as the owner,
    // with its reason on the trail's row of the change.
    statements << QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_amendment_apply() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = {schema}, pg_catalog AS $$
DECLARE before text := current_setting('{reason}', true);
BEGIN
  PERFORM set_config('{reason}', NEW.reason, true);
  UPDATE tests SET
    part_number = CASE WHEN NEW.field = 'part_number' THEN NEW.new_value ELSE part_number END,
    batch = CASE WHEN NEW.field = 'batch' THEN NEW.new_value ELSE batch END,
    serial_number = CASE WHEN NEW.field = 'serial_number' THEN NEW.new_value ELSE serial_number END,
    amended = amended + 1
  WHERE id = NEW.test_id;
  PERFORM set_config('{reason}', coalesce(before, ''), true);
  RETURN NULL;
END $$)");

    // Other stations' History windows learn of a test at once; the
    // recorder's point counts do not wake them.
    statements << QStringLiteral(R"(CREATE OR REPLACE FUNCTION torvelin_notify() RETURNS trigger
LANGUAGE plpgsql SET search_path = {schema}, pg_catalog AS $$
BEGIN
  IF TG_TABLE_NAME <> 'tests' THEN
    PERFORM pg_notify('{channel}', NEW.test_id::text);
  ELSIF TG_OP = 'INSERT' OR OLD.status IS DISTINCT FROM NEW.status
        OR OLD.amended IS DISTINCT FROM NEW.amended THEN
    PERFORM pg_notify('{channel}', NEW.id::text);
  END IF;
  RETURN NULL;
END $$)");
    return statements;
}

QStringList postgresTriggers()
{
    QStringList statements;
    statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_stamp BEFORE INSERT OR UPDATE ON tests "
                                 "FOR EACH ROW EXECUTE FUNCTION torvelin_tests_stamp()");
    for (const Schema::Table *table : auditedTables()) {
        statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_audit AFTER INSERT OR UPDATE OR DELETE "
                                     "ON %1 FOR EACH ROW EXECUTE FUNCTION torvelin_audit('%2', '%3')")
                          .arg(SchemaSql::name(table->name), rowIdColumn(*table), testIdColumn(*table));
    }
    for (const char *table : {Schema::Signatures::Table, Schema::Amendments::Table}) {
        statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_stamp BEFORE INSERT ON %1 "
                                     "FOR EACH ROW EXECUTE FUNCTION torvelin_signer_stamp()")
                          .arg(QLatin1String(table));
    }
    statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_apply AFTER INSERT ON amendments "
                                 "FOR EACH ROW EXECUTE FUNCTION torvelin_amendment_apply()");
    statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_notify AFTER INSERT OR UPDATE ON tests "
                                 "FOR EACH ROW EXECUTE FUNCTION torvelin_notify()");
    statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_notify AFTER INSERT ON signatures "
                                 "FOR EACH ROW EXECUTE FUNCTION torvelin_notify()");
    return statements;
}

bool currentSchema(QSqlDatabase &db, QString *schema, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT quote_ident(current_schema())")) || !query.next()
        || query.value(0).isNull()) {
        *error = query.lastError().isValid() ? query.lastError().text()
                                             : QStringLiteral("the login's search_path names no schema that exists");
        return false;
    }
    *schema = query.value(0).toString();
    return true;
}

} // namespace

QVector<const Schema::Table *> auditedTables()
{
    QVector<const Schema::Table *> tables;
    static const QVector<Schema::Table> now = Schema::tablesAt(Schema::currentVersion());
    for (const Schema::Table &table : now) {
        if (std::strcmp(table.name, Schema::CurvePoints::Table) != 0
            && std::strcmp(table.name, Schema::AuditLog::Table) != 0)
            tables << &table;
    }
    return tables;
}

bool statements(QSqlDatabase &db, QStringList *statements, QString *error)
{
    if (!RecordsDatabase::isPostgres(db)) {
        *statements = sqliteDrops(db) + sqliteStatements();
        return true;
    }
    QString schema;
    if (!currentSchema(db, &schema, error))
        return false;
    statements->clear();
    const QVector<QPair<QString, QString>> values{
        {QStringLiteral("schema"), schema},
        {QStringLiteral("grace"), QString::number(LatePointsGraceSeconds)},
        {QStringLiteral("reason"), ReasonSetting},
        {QStringLiteral("channel"), Channel},
    };
    for (const QString &statement : postgresFunctions() + postgresTriggers())
        statements->append(filled(statement, values));
    return true;
}

bool install(QSqlDatabase &db, QString *error)
{
    QStringList all;
    if (!statements(db, &all, error))
        return false;
    QSqlQuery query(db);
    for (const QString &statement : qAsConst(all)) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool removeFromSqlite(QSqlDatabase &db, QString *error)
{
    QSqlQuery query(db);
    for (const QString &statement : sqliteDrops(db)) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool isCurrent(QSqlDatabase &db)
{
    if (!RecordsDatabase::isPostgres(db)) {
        QStringList wanted = sqliteStatements();
        QStringList installed;
        for (const InstalledTrigger &trigger : sqliteInstalled(db))
            installed << trigger.sql;
        wanted.sort();
        installed.sort();
        return installed == wanted;
    }
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE tgname = 'torvelin_audit' "
                                     "AND tgrelid = to_regclass('tests')"))
           && query.next() && query.value(0).toInt() > 0;
}

QString localUser()
{
    // Windows names the login USERNAME, Unix USER (LOGNAME where a login
    // shell set only that).
    for (const char *variable : {"USERNAME", "USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    // A service or a container without them: the home folder is named
    // after the login.
    const QString home = QDir(QDir::homePath()).dirName();
    return home.isEmpty() ? QStringLiteral("unknown") : home;
}

bool setSqliteUser(QSqlDatabase &db, QString *error)
{
    const QString user = localUser();
    QSqlQuery current(db);
    if (current.exec(QStringLiteral("SELECT name FROM audit_user WHERE id = 1")) && current.next()
        && current.value(0).toString() == user)
        return true;
    current.finish();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO audit_user (id, name) VALUES (1, ?)"));
    query.addBindValue(user);
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

} // namespace AuditTrail
