#include "records/libraryguards.h"

#include <QStringList>

namespace {

// The server's time in the records' text form.
const char PostgresNow[] =
    "to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";

QStringList sqliteGuards()
{
    const QString abort = QStringLiteral("BEGIN SELECT RAISE(ABORT, '%1'); END");
    return {
        QStringLiteral("CREATE TRIGGER programs_start_as_drafts BEFORE INSERT ON programs "
                       "WHEN NEW.state <> 'draft' ")
            + abort.arg(QStringLiteral("a program version starts as a draft")),
        QStringLiteral("CREATE TRIGGER programs_never_deleted BEFORE DELETE ON programs ")
            + abort.arg(QStringLiteral("a program version is never deleted")),
        QStringLiteral("CREATE TRIGGER programs_only_drafts_change BEFORE UPDATE ON programs "
                       "WHEN OLD.state = 'retired' "
                       "OR (OLD.state = 'approved' AND NEW.state <> 'retired') "
                       "OR NEW.id <> OLD.id OR NEW.created_at IS NOT OLD.created_at "
                       "OR (OLD.state <> 'draft' AND (NEW.program IS NOT OLD.program "
                       "OR NEW.number IS NOT OLD.number OR NEW.version IS NOT OLD.version "
                       "OR NEW.name IS NOT OLD.name)) ")
            + abort.arg(QStringLiteral("only a draft program version changes")),
        QStringLiteral("CREATE TRIGGER program_parts_of_drafts_added BEFORE INSERT ON program_parts "
                       "WHEN (SELECT state FROM programs WHERE id = NEW.program_id) <> 'draft' ")
            + abort.arg(QStringLiteral("the parts of a program version change only while it is a draft")),
        QStringLiteral("CREATE TRIGGER program_parts_of_drafts_removed BEFORE DELETE ON program_parts "
                       "WHEN (SELECT state FROM programs WHERE id = OLD.program_id) <> 'draft' ")
            + abort.arg(QStringLiteral("the parts of a program version change only while it is a draft")),
        QStringLiteral("CREATE TRIGGER program_parts_not_changed BEFORE UPDATE ON program_parts ")
            + abort.arg(QStringLiteral("the parts of a program version change only while it is a draft")),
        QStringLiteral("CREATE TRIGGER verifications_kept_changed BEFORE UPDATE ON verifications ")
            + abort.arg(QStringLiteral("a verification on record is never changed")),
        QStringLiteral("CREATE TRIGGER verifications_kept_deleted BEFORE DELETE ON verifications ")
            + abort.arg(QStringLiteral("a verification on record is never deleted")),
        QStringLiteral("CREATE TRIGGER verification_points_kept_changed BEFORE UPDATE ON verification_points ")
            + abort.arg(QStringLiteral("a verification on record is never changed")),
        QStringLiteral("CREATE TRIGGER verification_points_kept_deleted BEFORE DELETE ON verification_points ")
            + abort.arg(QStringLiteral("a verification on record is never deleted")),
    };
}

// On the server the stamps are the server's: who is logged in, and its
// clock. A client cannot write another name or time.
QStringList postgresGuards()
{
    const QString now = QLatin1String(PostgresNow);
    return {
        QStringLiteral(
            "CREATE FUNCTION torvelin_programs_guard() RETURNS trigger LANGUAGE plpgsql AS $$ "
            "BEGIN "
            "IF TG_OP = 'DELETE' THEN RAISE EXCEPTION 'a program version is never deleted'; END IF; "
            "IF TG_OP = 'INSERT' THEN "
            "  IF NEW.state <> 'draft' THEN RAISE EXCEPTION 'a program version starts as a draft'; END IF; "
            "  NEW.created_by := session_user; NEW.created_at := %1; "
            "  NEW.approved_by := NULL; NEW.approved_at := NULL; NEW.retired_by := NULL; NEW.retired_at := NULL; "
            "  RETURN NEW; "
            "END IF; "
            "IF OLD.state = 'retired' OR (OLD.state = 'approved' AND NEW.state <> 'retired') "
            "   OR NEW.id <> OLD.id OR NEW.created_by <> OLD.created_by OR NEW.created_at <> OLD.created_at "
            "   OR (OLD.state <> 'draft' AND (NEW.program, NEW.number, NEW.version, NEW.name) "
            "       IS DISTINCT FROM (OLD.program, OLD.number, OLD.version, OLD.name)) THEN "
            "  RAISE EXCEPTION 'only a draft program version changes'; "
            "END IF; "
            "IF NEW.state = 'approved' AND OLD.state = 'draft' THEN "
            "  NEW.approved_by := session_user; NEW.approved_at := %1; "
            "ELSE NEW.approved_by := OLD.approved_by; NEW.approved_at := OLD.approved_at; END IF; "
            "IF NEW.state = 'retired' AND OLD.state <> 'retired' THEN "
            "  NEW.retired_by := session_user; NEW.retired_at := %1; "
            "ELSE NEW.retired_by := OLD.retired_by; NEW.retired_at := OLD.retired_at; END IF; "
            "RETURN NEW; "
            "END $$")
            .arg(now),
        QStringLiteral("CREATE TRIGGER programs_guard BEFORE INSERT OR UPDATE OR DELETE ON programs "
                       "FOR EACH ROW EXECUTE FUNCTION torvelin_programs_guard()"),
        QStringLiteral(
            "CREATE FUNCTION torvelin_program_parts_guard() RETURNS trigger LANGUAGE plpgsql AS $$ "
            "BEGIN "
            "IF TG_OP = 'UPDATE' OR (SELECT state FROM programs WHERE id = "
            "   CASE WHEN TG_OP = 'DELETE' THEN OLD.program_id ELSE NEW.program_id END) <> 'draft' THEN "
            "  RAISE EXCEPTION 'the parts of a program version change only while it is a draft'; "
            "END IF; "
            "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; "
            "RETURN NEW; "
            "END $$"),
        QStringLiteral("CREATE TRIGGER program_parts_guard BEFORE INSERT OR UPDATE OR DELETE ON program_parts "
                       "FOR EACH ROW EXECUTE FUNCTION torvelin_program_parts_guard()"),
        QStringLiteral(
            "CREATE FUNCTION torvelin_verifications_guard() RETURNS trigger LANGUAGE plpgsql AS $$ "
            "BEGIN "
            "IF TG_OP <> 'INSERT' THEN RAISE EXCEPTION 'a verification on record is never changed or deleted'; END IF; "
            "IF TG_TABLE_NAME = 'verifications' THEN NEW.recorded_by := session_user; NEW.recorded_at := %1; END IF; "
            "RETURN NEW; "
            "END $$")
            .arg(now),
        QStringLiteral("CREATE TRIGGER verifications_guard BEFORE INSERT OR UPDATE OR DELETE ON verifications "
                       "FOR EACH ROW EXECUTE FUNCTION torvelin_verifications_guard()"),
        QStringLiteral("CREATE TRIGGER verification_points_guard BEFORE INSERT OR UPDATE OR DELETE ON "
                       "verification_points FOR EACH ROW EXECUTE FUNCTION torvelin_verifications_guard()"),
    };
}

} // namespace

namespace LibraryGuards {

QVector<Statement> statements()
{
    QVector<Statement> all;
    // At most one approved version and one draft of a program, whatever a
    // client sends.
    for (const char *index : {"CREATE UNIQUE INDEX programs_one_approved ON programs (number) WHERE state = 'approved'",
                              "CREATE UNIQUE INDEX programs_one_draft ON programs (number) WHERE state = 'draft'"})
        all << Statement{QLatin1String(index), QLatin1String(index)};
    for (const QString &trigger : sqliteGuards())
        all << Statement{trigger, QString()};
    for (const QString &guard : postgresGuards())
        all << Statement{QString(), guard};
    return all;
}

QVector<Statement> controlLimitStatements()
{
    const QString kept = QStringLiteral("frozen control limits are never changed or deleted");
    QVector<Statement> all;
    for (const char *event : {"UPDATE", "DELETE"}) {
        all << Statement{QStringLiteral("CREATE TRIGGER control_limits_kept_%1 BEFORE %2 ON control_limits "
                                        "BEGIN SELECT RAISE(ABORT, '%3'); END")
                             .arg(QString::fromLatin1(event).toLower(), QLatin1String(event), kept),
                         QString()};
    }
    all << Statement{QString(),
                     QStringLiteral("CREATE FUNCTION torvelin_control_limits_guard() RETURNS trigger "
                                    "LANGUAGE plpgsql AS $$ BEGIN "
                                    "IF TG_OP <> 'INSERT' THEN RAISE EXCEPTION '%1'; END IF; "
                                    "NEW.frozen_by := session_user; NEW.frozen_at := %2; "
                                    "RETURN NEW; END $$")
                         .arg(kept, QLatin1String(PostgresNow))};
    all << Statement{QString(),
                     QStringLiteral("CREATE TRIGGER control_limits_guard BEFORE INSERT OR UPDATE OR DELETE "
                                    "ON control_limits FOR EACH ROW EXECUTE FUNCTION "
                                    "torvelin_control_limits_guard()")};
    return all;
}

} // namespace LibraryGuards
