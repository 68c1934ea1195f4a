#include "records/audittrail.h"

#include "records/recordsdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace AuditTrail {

namespace {

// One name for each trigger kind, so that installing again replaces it.
const char AuditTrigger[] = "torvelin_audit";

QStringList columnsOf(QSqlDatabase &db, const QString &table)
{
    QStringList columns;
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table))) {
        while (query.next())
            columns.append(query.value(1).toString());
    }
    return columns;
}

QString quoted(const QString &column)
{
    return QLatin1Char('"') + column + QLatin1Char('"');
}

// json_object('id', NEW."id", …): the row as the trail keeps it.
QString sqliteRow(const QString &row, const QStringList &columns)
{
    QStringList pairs;
    for (const QString &column : columns)
        pairs.append(QStringLiteral("'%1', %2.%3").arg(column, row, quoted(column)));
    return QStringLiteral("json_object(%1)").arg(pairs.join(QStringLiteral(", ")));
}

QStringList sqliteStatements(QSqlDatabase &db)
{
    const QString now = QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', 'now')");
    const QString user = QStringLiteral("COALESCE((SELECT name FROM audit_user), '')");
    QStringList statements;
    for (const QString &table : auditedTables()) {
        const QStringList columns = columnsOf(db, table);
        const bool ownId = columns.contains(QLatin1String("id"));
        for (const QString &action : {QStringLiteral("insert"), QStringLiteral("update"), QStringLiteral("delete")}) {
            const QString row = action == QLatin1String("delete") ? QStringLiteral("OLD") : QStringLiteral("NEW");
            const QString rowId = row + (ownId ? QStringLiteral(".id") : QStringLiteral(".test_id"));
            const QString testId = table == QLatin1String("tests") ? row + QStringLiteral(".id")
                                   : columns.contains(QLatin1String("test_id")) ? row + QStringLiteral(".test_id")
                                                                                : QStringLiteral("NULL");
            QString when;
            QString reason = QStringLiteral("''");
            if (table == QLatin1String("tests") && action == QLatin1String("update")) {
                // A running test counting its points is recording, not a
                // change of record: four such updates a second would bury
                // the trail.
                QStringList same;
                for (const QString &column : columns) {
                    if (column != QLatin1String("point_count"))
                        same.append(QStringLiteral("OLD.%1 IS NEW.%1").arg(quoted(column)));
                }
                when = QStringLiteral(" WHEN NOT (OLD.status = 'running' AND NEW.status = 'running' AND %1)")
                           .arg(same.join(QStringLiteral(" AND ")));
                reason = QStringLiteral("CASE WHEN NEW.amended > OLD.amended THEN (SELECT reason FROM "
                                        "amendments WHERE test_id = NEW.id ORDER BY id DESC LIMIT 1) "
                                        "ELSE '' END");
            } else if (table == QLatin1String("amendments") && action == QLatin1String("insert")) {
                reason = QStringLiteral("NEW.reason");
            }
            const QString name = QStringLiteral("%1_%2_%3").arg(QLatin1String(AuditTrigger), table, action);
            statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(name);
            statements << QStringLiteral(
                              "CREATE TRIGGER %1 AFTER %2 ON %3%4 BEGIN INSERT INTO audit_log (at, db_user, "
                              "action, table_name, row_id, test_id, old_values, new_values, reason) VALUES "
                              "(%5, %6, '%7', '%3', %8, %9, %10, %11, %12); END")
                              .arg(name, action.toUpper(), table, when, now, user, action, rowId, testId)
                              .arg(action == QLatin1String("insert") ? QStringLiteral("NULL") : sqliteRow(QStringLiteral("OLD"), columns),
                                   action == QLatin1String("delete") ? QStringLiteral("NULL") : sqliteRow(QStringLiteral("NEW"), columns),
                                   reason);
        }
    }
    // The trail, the signatures and the amendments only grow (on a bench
    // file as far as its permissions protect it: anyone who may write the
    // file may drop these triggers).
    for (const QString &table : {QStringLiteral("audit_log"), QStringLiteral("signatures"), QStringLiteral("amendments")}) {
        for (const QString &action : {QStringLiteral("update"), QStringLiteral("delete")}) {
            const QString name = QStringLiteral("torvelin_keep_%1_%2").arg(table, action);
            statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(name);
            statements << QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT RAISE(ABORT, "
                                         "'%3 only grows: rows are never changed or deleted'); END")
                              .arg(name, action.toUpper(), table);
        }
    }
    statements << QStringLiteral("DROP TRIGGER IF EXISTS torvelin_apply_amendment");
    statements << QStringLiteral(
        "CREATE TRIGGER torvelin_apply_amendment AFTER INSERT ON amendments BEGIN UPDATE tests SET "
        "part_number = CASE WHEN NEW.field = 'part_number' THEN NEW.new_value ELSE part_number END, "
        "batch = CASE WHEN NEW.field = 'batch' THEN NEW.new_value ELSE batch END, "
        "serial_number = CASE WHEN NEW.field = 'serial_number' THEN NEW.new_value ELSE serial_number END, "
        "amended = amended + 1 WHERE id = NEW.test_id; END");
    return statements;
}

QStringList postgresStatements(const QString &schema)
{
    const QString path = QStringLiteral("SET search_path = %1, pg_catalog").arg(schema);
    QStringList statements;
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_time(t timestamptz) RETURNS text LANGUAGE sql STABLE "
        "AS $$ SELECT to_char(t AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') $$");

    // The server's clock and the login on every test, whatever the station
    // sends; a finished test changes only by a reviewer's amendment (or by
    // the database's owner, in the trail like everyone).
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_tests_before() RETURNS trigger LANGUAGE plpgsql %1 AS $$\n"
        "DECLARE changed text[]; privileged boolean;\n"
        "BEGIN\n"
        "  IF TG_OP = 'INSERT' THEN\n"
        "    NEW.\"operator\" := session_user;\n"
        "    NEW.station_started_at := NEW.started_at;\n"
        "    NEW.started_at := torvelin_time(clock_timestamp());\n"
        "    RETURN NEW;\n"
        "  END IF;\n"
        "  IF OLD.finished_at IS NULL AND NEW.finished_at IS NOT NULL THEN\n"
        "    NEW.station_finished_at := NEW.finished_at;\n"
        "    NEW.finished_at := torvelin_time(clock_timestamp());\n"
        "  END IF;\n"
        "  IF OLD.status = 'running' THEN RETURN NEW; END IF;\n"
        "  SELECT r.rolsuper OR pg_has_role(session_user, c.relowner, 'MEMBER') INTO privileged\n"
        "    FROM pg_roles r, pg_class c WHERE r.rolname = session_user AND c.oid = TG_RELID;\n"
        "  IF privileged THEN RETURN NEW; END IF;\n"
        "  SELECT coalesce(array_agg(n.key), '{}') INTO changed FROM jsonb_each(to_jsonb(NEW)) n\n"
        "    WHERE n.value IS DISTINCT FROM to_jsonb(OLD) -> n.key;\n"
        "  IF changed <@ ARRAY['point_count'] AND NEW.point_count >= OLD.point_count\n"
        "     AND OLD.finished_at >= torvelin_time(clock_timestamp() - interval '%2 seconds') THEN\n"
        "    RETURN NEW;\n"
        "  END IF;\n"
        "  IF pg_trigger_depth() > 1 AND changed <@ ARRAY['part_number', 'batch', 'serial_number', 'amended'] THEN\n"
        "    RETURN NEW;\n"
        "  END IF;\n"
        "  RAISE EXCEPTION 'test % is %: it is changed only by a reviewer''s amendment', OLD.id, OLD.status\n"
        "    USING ERRCODE = 'insufficient_privilege';\n"
        "END $$")
                      .arg(path)
                      .arg(LatePointsGraceSeconds);

    // Written as the owner: no login may write audit_log itself.
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_audit() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER %1 AS $$\n"
        "DECLARE old_row jsonb; new_row jsonb; r jsonb;\n"
        "  why text := coalesce(current_setting('torvelin.reason', true), '');\n"
        "BEGIN\n"
        "  IF TG_OP <> 'INSERT' THEN old_row := to_jsonb(OLD); END IF;\n"
        "  IF TG_OP <> 'DELETE' THEN new_row := to_jsonb(NEW); END IF;\n"
        "  r := coalesce(new_row, old_row);\n"
        "  IF TG_OP = 'UPDATE' AND TG_TABLE_NAME = 'tests' THEN\n"
        "    IF old_row ->> 'status' = 'running' AND new_row ->> 'status' = 'running'\n"
        "       AND (old_row - 'point_count') = (new_row - 'point_count') THEN\n"
        "      RETURN NULL;\n"
        "    END IF;\n"
        "    IF (new_row ->> 'amended')::int > (old_row ->> 'amended')::int THEN\n"
        "      SELECT a.reason INTO why FROM amendments a WHERE a.test_id = (new_row ->> 'id')::bigint\n"
        "        ORDER BY a.id DESC LIMIT 1;\n"
        "    END IF;\n"
        "  ELSIF TG_TABLE_NAME = 'amendments' THEN\n"
        "    why := r ->> 'reason';\n"
        "  END IF;\n"
        "  INSERT INTO audit_log (at, db_user, action, table_name, row_id, test_id, old_values, new_values, reason)\n"
        "  VALUES (torvelin_time(clock_timestamp()), session_user, lower(TG_OP), TG_TABLE_NAME,\n"
        "          coalesce(r ->> 'id', r ->> 'test_id')::bigint,\n"
        "          (CASE WHEN TG_TABLE_NAME = 'tests' THEN r ->> 'id' ELSE r ->> 'test_id' END)::bigint,\n"
        "          old_row::text, new_row::text, coalesce(why, ''));\n"
        "  RETURN NULL;\n"
        "END $$")
                      .arg(path);

    // Who signed or amended, and when, is the server's to say. All the
    // signatures of one signing share the transaction's time.
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_signer_before() RETURNS trigger LANGUAGE plpgsql %1 AS $$\n"
        "BEGIN\n"
        "  NEW.db_user := session_user;\n"
        "  NEW.at := torvelin_time(now());\n"
        "  IF TG_TABLE_NAME = 'amendments' THEN\n"
        "    SELECT CASE NEW.field WHEN 'part_number' THEN t.part_number WHEN 'batch' THEN t.batch\n"
        "                          WHEN 'serial_number' THEN t.serial_number END\n"
        "      INTO NEW.old_value FROM tests t WHERE t.id = NEW.test_id;\n"
        "  END IF;\n"
        "  RETURN NEW;\n"
        "END $$")
                      .arg(path);

    // A reviewer may not update tests; the amendment does it, as the owner.
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_apply_amendment() RETURNS trigger LANGUAGE plpgsql "
        "SECURITY DEFINER %1 AS $$\n"
        "BEGIN\n"
        "  UPDATE tests SET\n"
        "    part_number = CASE WHEN NEW.field = 'part_number' THEN NEW.new_value ELSE part_number END,\n"
        "    batch = CASE WHEN NEW.field = 'batch' THEN NEW.new_value ELSE batch END,\n"
        "    serial_number = CASE WHEN NEW.field = 'serial_number' THEN NEW.new_value ELSE serial_number END,\n"
        "    amended = amended + 1\n"
        "  WHERE id = NEW.test_id;\n"
        "  RETURN NULL;\n"
        "END $$")
                      .arg(path);

    // Other stations' History windows learn of a test at once; the
    // recorder's point counts do not wake them.
    statements << QStringLiteral(
        "CREATE OR REPLACE FUNCTION torvelin_notify() RETURNS trigger LANGUAGE plpgsql %1 AS $$\n"
        "BEGIN\n"
        "  IF TG_TABLE_NAME <> 'tests' THEN\n"
        "    PERFORM pg_notify('%2', NEW.test_id::text);\n"
        "  ELSIF TG_OP = 'INSERT' THEN\n"
        "    PERFORM pg_notify('%2', NEW.id::text);\n"
        "  ELSIF OLD.status IS DISTINCT FROM NEW.status OR OLD.amended IS DISTINCT FROM NEW.amended THEN\n"
        "    PERFORM pg_notify('%2', NEW.id::text);\n"
        "  END IF;\n"
        "  RETURN NULL;\n"
        "END $$")
                      .arg(path, Channel);

    statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_stamp BEFORE INSERT OR UPDATE ON tests "
                                 "FOR EACH ROW EXECUTE FUNCTION torvelin_tests_before()");
    for (const QString &table : auditedTables()) {
        statements << QStringLiteral("CREATE OR REPLACE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 "
                                     "FOR EACH ROW EXECUTE FUNCTION torvelin_audit()")
                          .arg(QLatin1String(AuditTrigger), table);
    }
    for (const QString &table : {QStringLiteral("signatures"), QStringLiteral("amendments")}) {
        statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_stamp BEFORE INSERT ON %1 "
                                     "FOR EACH ROW EXECUTE FUNCTION torvelin_signer_before()")
                          .arg(table);
    }
    statements << QStringLiteral("CREATE OR REPLACE TRIGGER torvelin_apply AFTER INSERT ON amendments "
                                 "FOR EACH ROW EXECUTE FUNCTION torvelin_apply_amendment()");
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
        *error = query.lastError().isValid()
                     ? query.lastError().text()
                     : QStringLiteral("the login's search_path names no schema that exists");
        return false;
    }
    *schema = query.value(0).toString();
    return true;
}

} // namespace

QStringList auditedTables()
{
    return {QStringLiteral("tests"), QStringLiteral("point_results"), QStringLiteral("test_rates"),
            QStringLiteral("signatures"), QStringLiteral("amendments")};
}

bool statements(QSqlDatabase &db, QStringList *statements, QString *error)
{
    if (!RecordsDatabase::isPostgres(db)) {
        *statements = sqliteStatements(db);
        return true;
    }
    QString schema;
    if (!currentSchema(db, &schema, error))
        return false;
    *statements = postgresStatements(schema);
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

bool isInstalled(QSqlDatabase &db)
{
    QSqlQuery query(db);
    const bool ok = RecordsDatabase::isPostgres(db)
                        ? query.exec(QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE tgname = '%1' "
                                                    "AND tgrelid = to_regclass('tests')")
                                         .arg(QLatin1String(AuditTrigger)))
                        : query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' "
                                                    "AND name = '%1_tests_update'")
                                         .arg(QLatin1String(AuditTrigger)));
    return ok && query.next() && query.value(0).toInt() > 0;
}

bool setSqliteUser(QSqlDatabase &db, const QString &user, QString *error)
{
    QSqlQuery current(db);
    if (current.exec(QStringLiteral("SELECT name FROM audit_user")) && current.next()
        && current.value(0).toString() == user)
        return true;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO audit_user (id, name) VALUES (1, ?)"));
    query.addBindValue(user);
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

} // namespace AuditTrail
