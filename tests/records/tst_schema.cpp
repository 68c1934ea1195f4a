// The schema description: released migration steps keep their statements,
// a table rebuilt to allow a new value keeps its rows, its children and its
// numbering, and every column the code names exists.
#include "records/recordsdatabase.h"
#include "records/schemasql.h"
#include "records/teststore.h"
#include "storedrecords.h"

#include <QtTest>

#include <QFile>
#include <QSqlError>
#include <QSqlRecord>
#include <QTemporaryDir>

namespace {

QString dialectName(SchemaSql::Dialect dialect)
{
    return dialect == SchemaSql::Dialect::SQLite ? QStringLiteral("sqlite") : QStringLiteral("postgresql");
}

// One statement per line.
QString statementsText(int step, SchemaSql::Dialect dialect)
{
    return SchemaSql::migrationStatements(step, dialect).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool exec(QSqlDatabase db, const QString &statement, QString *error = nullptr)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

class tst_Schema : public QObject
{
    Q_OBJECT

private slots:
    void releasedStepsAreKept_data();
    void releasedStepsAreKept();
    void upgradedDatabaseIsTheFreshSchema_data();
    void upgradedDatabaseIsTheFreshSchema();
    void rebuildForNewValuesKeepsRowsChildrenAndIds();
};

void tst_Schema::releasedStepsAreKept_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("dialect");
    for (int step = 0; step < Schema::currentVersion(); ++step) {
        for (SchemaSql::Dialect dialect : {SchemaSql::Dialect::SQLite, SchemaSql::Dialect::PostgreSQL}) {
            QTest::addRow("version %d, %s", step + 1, qPrintable(dialectName(dialect)))
                << step << int(dialect);
        }
    }
}

// A database in the field has had these exact statements run on it: a step
// that changed afterwards would leave it and a new database different.
// Each step's statements are kept in tests/records/schema; a new step's
// file is written by running this test with TORVELIN_WRITE_SCHEMA=1 (it
// never overwrites one).
void tst_Schema::releasedStepsAreKept()
{
    QFETCH(int, step);
    QFETCH(int, dialect);
    const auto engine = SchemaSql::Dialect(dialect);
    const QString path = QStringLiteral(TORVELIN_SCHEMA_STEPS "/v%1.%2.sql").arg(step + 1).arg(dialectName(engine));
    const QString made = statementsText(step, engine);
    QFile file(path);
    if (!file.exists() && qEnvironmentVariableIsSet("TORVELIN_WRITE_SCHEMA")) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(made.toUtf8());
        file.close();
    }
    QVERIFY2(file.open(QIODevice::ReadOnly),
             qPrintable(QStringLiteral("%1 is missing; its statements:\n%2").arg(path, made)));
    QCOMPARE(made, QString::fromUtf8(file.readAll()));
}

void tst_Schema::upgradedDatabaseIsTheFreshSchema_data()
{
    QTest::addColumn<int>("from");
    for (int version = 1; version < Schema::currentVersion(); ++version)
        QTest::addRow("from version %d", version) << version;
    if (Schema::currentVersion() == 1)
        QTest::newRow("only one version") << 0;
}

void tst_Schema::upgradedDatabaseIsTheFreshSchema()
{
    QFETCH(int, from);
    if (from == 0)
        QSKIP("no older version to upgrade from yet");
    QTemporaryDir folder;
    auto describe = [](QSqlDatabase db) {
        QStringList lines;
        for (const Schema::Table &table : Schema::tablesAt(Schema::currentVersion())) {
            for (const char *pragma : {"table_info", "index_list", "foreign_key_list"}) {
                QSqlQuery query(db);
                query.exec(QStringLiteral("SELECT * FROM pragma_%1('%2')").arg(QLatin1String(pragma), QLatin1String(table.name)));
                while (query.next()) {
                    QStringList fields;
                    for (int i = 0; i < query.record().count(); ++i)
                        fields << query.value(i).toString();
                    // index_list's first field is a sequence number.
                    lines << QLatin1String(table.name) + QLatin1Char(' ') + QLatin1String(pragma) + QLatin1Char(' ')
                                 + fields.mid(QLatin1String(pragma) == QLatin1String("index_list") ? 1 : 0).join(QLatin1Char('|'));
                }
            }
        }
        lines.sort();
        return lines;
    };
    DatabaseConfig fresh;
    fresh.sqlitePath = folder.filePath(QStringLiteral("fresh.sqlite"));
    StoredRecords freshRecords(fresh);
    QVERIFY2(freshRecords.isOpen(), qPrintable(freshRecords.error()));

    DatabaseConfig old;
    old.sqlitePath = folder.filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(old.sqlitePath);
        QVERIFY(db.open());
        QString error;
        QVERIFY2(RecordsDatabase::migrate(db, &error, from), qPrintable(error));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    StoredRecords upgraded(old);
    QVERIFY2(upgraded.isOpen(), qPrintable(upgraded.error()));
    QSqlDatabase upgradedDb = upgraded.db();
    QCOMPARE(RecordsDatabase::storedVersion(upgradedDb), Schema::currentVersion());
    QCOMPARE(describe(upgraded.db()), describe(freshRecords.db()));
}

// A step to come that lets tests.status take one more value: SQLite makes
// the table again, which must not take the curve points with it.
void tst_Schema::rebuildForNewValuesKeepsRowsChildrenAndIds()
{
    namespace T = Schema::Tests;
    QTemporaryDir folder;
    DatabaseConfig config;
    config.sqlitePath = folder.filePath(QStringLiteral("torvelin.sqlite"));
    StoredRecords records(config);
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    QSqlDatabase db = records.db();
    TestStore store(db);
    qint64 kept = 0, removed = 0;
    const RecordedPoint points[] = {{0, 1.0, 2.0}, {1, 0.5, 1.0}};
    QVERIFY(store.insertTest(TestHeader::startingNow(), &kept));
    QVERIFY(store.appendPoints(kept, 0, points, 2));
    QVERIFY(store.insertTest(TestHeader::startingNow(), &removed));
    QVERIFY(exec(db, QStringLiteral("DELETE FROM tests WHERE id = %1").arg(removed)));

    QVector<Schema::Step> steps = Schema::steps();
    steps.append({Schema::Change::allowValues(T::status, {"running", "complete", "interrupted", "aborted"})});
    QString error;
    QVERIFY2(RecordsDatabase::migrate(db, &error, steps.size(), steps), qPrintable(error));

    QCOMPARE(records.count(QStringLiteral("FROM curve_points WHERE test_id = %1").arg(kept)), 2);
    QVERIFY2(exec(db, QStringLiteral("UPDATE tests SET status = 'aborted' WHERE id = %1").arg(kept), &error),
             qPrintable(error));
    QVERIFY(!exec(db, QStringLiteral("UPDATE tests SET status = 'lost' WHERE id = %1").arg(kept)));
    qint64 next = 0;
    QVERIFY(store.insertTest(TestHeader::startingNow(), &next));
    QVERIFY2(next > removed, "a removed test's number was given again");
    QCOMPARE(records.count(QStringLiteral("FROM sqlite_master WHERE type = 'index' AND tbl_name = 'tests' "
                                          "AND name NOT LIKE 'sqlite_%'")),
             Schema::table(T::Table).indexes.size());
    QVERIFY2(!exec(db, QStringLiteral("INSERT INTO curve_points VALUES (999, 0, 0, 1.0, 2.0)")),
             "foreign keys stayed off after the upgrade");
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
