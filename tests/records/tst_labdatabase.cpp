// A lab's PostgreSQL database after torvelin-records init, as its stations
// and people meet it: what each role may do is the server's to decide, and
// every change, by the program or by hand with psql, is in the trail.
#include "records/controllimitsstore.h"
#include "history/historymodel.h"
#include "history/amenddialog.h"
#include "history/historywindow.h"
#include "history/signdialog.h"
#include "records/recordqueries.h"
#include "support/modalwidget.h"
#include "mainwindow/mainwindow.h"
#include "records/administration.h"
#include "records/recordsdatabase.h"
#include "records/review.h"
#include "records/testrecorder.h"
#include "recording/passworddialog.h"
#include "support/memorykeyring.h"
#include "storedrecords.h"
#include "support/postgrescluster.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QTableView>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QTemporaryDir>

#include <qcustomplot.h>

namespace {
constexpr int TestRunTimeoutMs = 10000;
constexpr int PointsPerStroke = 65;   // 2 mm at 1/32 mm
const char Database[] = "lab";
const char OperatorPassword[] = "anna-pw";
const char ReviewerPassword[] = "rita-pw";

QString urlOf(const DatabaseConfig &config)
{
    const QString login = config.password.isEmpty() ? config.user : config.user + QLatin1Char(':') + config.password;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(login, config.host).arg(config.port).arg(config.database);
}

// The prompt the window has open now, once it is a new one.
PasswordDialog *openPrompt(const QWidget &window, const PasswordDialog *before)
{
    const auto prompts = window.findChildren<PasswordDialog *>();
    for (PasswordDialog *prompt : prompts) {
        if (prompt != before && prompt->isVisible())
            return prompt;
    }
    return nullptr;
}

void answer(PasswordDialog *prompt, const QString &password, bool remember)
{
    prompt->findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(password);
    prompt->findChild<QCheckBox *>(QStringLiteral("rememberPasswordCheckBox"))->setChecked(remember);
    QTest::mouseClick(prompt->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}
} // namespace

class tst_LabDatabase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void operatorRecordsThroughTheWindow();
    void operatorIsRefused_data();
    void operatorIsRefused();
    void changeByPsqlIsAudited();
    void reviewerFreezesControlLimits();
    void reviewerAmendsWithAReason();
    void signatureNeedsTheSignersPassword();
    void stationNeverCreatesTables();
    void schemaOtherThanPublic();
    void passwordFileIsHonoured();
    void historyListsAnotherStationsTest();
    void signingInHistory();
    void amendingInHistory();
    void historyFollowsAfterServerRestart();
    void missingPasswordIsAskedFor();

private:
    DatabaseConfig anna() const { return m_cluster.config(Database, "anna", OperatorPassword); }
    DatabaseConfig rita() const { return m_cluster.config(Database, "rita", ReviewerPassword); }
    QString auditOf(const QString &where) const;

    PostgresCluster m_cluster{PostgresCluster::Password};
    QTemporaryDir m_folder;
    qint64 m_testId = 0;
    qint64 m_oldTestId = 0;   // anna's, ended an hour ago
};

void tst_LabDatabase::initTestCase()
{
    QVERIFY(m_folder.isValid());
    qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toUtf8());
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.createDatabase(Database), qPrintable(m_cluster.errorString()));
    RecordsAdministration::Report report;
    QString error;
    QVERIFY2(RecordsAdministration::initialise(m_cluster.config(Database), &report, &error), qPrintable(error));
    QVERIFY2(m_cluster.execute(Database,
                               {QStringLiteral("CREATE ROLE anna LOGIN PASSWORD '%1' IN ROLE torvelin_operator")
                                    .arg(OperatorPassword),
                                QStringLiteral("CREATE ROLE rita LOGIN PASSWORD '%1' IN ROLE torvelin_reviewer")
                                    .arg(ReviewerPassword)}),
             qPrintable(m_cluster.errorString()));
    StoredRecords admin(m_cluster.config(Database));
    QVERIFY2(admin.isOpen(), qPrintable(admin.error()));
    QSqlQuery old(admin.db());
    QVERIFY2(old.exec(QStringLiteral("INSERT INTO tests (started_at, status, mode, distance_mode, speed, distance, "
                                     "force_decimals) VALUES ('', 'running', 0, 0, 100, 10, 1) RETURNING id"))
                 && old.next(),
             qPrintable(old.lastError().text()));
    m_oldTestId = old.value(0).toLongLong();
    // Ended now by the server's clock, then put back an hour by the owner.
    QVERIFY(old.exec(QStringLiteral("UPDATE tests SET \"operator\" = 'anna', status = 'complete', finished_at = '' "
                                    "WHERE id = %1").arg(m_oldTestId)));
    QVERIFY(old.exec(QStringLiteral("UPDATE tests SET finished_at = torvelin_time(now() - interval '1 hour') "
                                    "WHERE id = %1").arg(m_oldTestId)));
}

QString tst_LabDatabase::auditOf(const QString &where) const
{
    StoredRecords admin(m_cluster.config(Database));
    QSqlQuery query(admin.db());
    query.exec(QStringLiteral("SELECT db_user || ' ' || action || ' ' || table_name || ' ' || reason || ' ' "
                              "|| coalesce(old_values, '-') || ' ' || coalesce(new_values, '-') "
                              "FROM audit_log WHERE %1 ORDER BY id")
                   .arg(where));
    QStringList rows;
    while (query.next())
        rows << query.value(0).toString();
    return rows.join(QLatin1Char('\n'));
}

void tst_LabDatabase::operatorRecordsThroughTheWindow()
{
    qputenv("TORVELIN_DB", urlOf(anna()).toUtf8());
    SimulatedTester sim({"--no-pacing", "--numbered"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("TORVELIN_PORT", sim.devicePath().toLocal8Bit());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *recorder = window.findChild<TestRecorder *>();
    QVERIFY(recorder);
    QSignalSpy stored(recorder, &TestRecorder::testStored);
    QSignalSpy failed(recorder, &TestRecorder::databaseFailed);
    window.findChild<QLineEdit *>(QStringLiteral("batchEdit"))->setText(QStringLiteral("B7"));
    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();
    Curve_Setting setting;
    setting.speed = 500;
    setting.distance = 2.0f;
    QVERIFY(QMetaObject::invokeMethod(&window, "receiveCurveSetting", Q_ARG(Curve_Setting, setting)));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("startBtn")), Qt::LeftButton);
    QCustomPlot *plot = window.findChild<QCustomPlot *>(QStringLiteral("userPlot"));
    QTRY_COMPARE_WITH_TIMEOUT(plot->graph(1)->dataCount(), PointsPerStroke, TestRunTimeoutMs);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("stopBtn")), Qt::LeftButton);
    QVERIFY(stored.wait());
    QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));
    m_testId = stored.first().first().toLongLong();
    qunsetenv("TORVELIN_PORT");
    qunsetenv("TORVELIN_DB");

    StoredRecords records(anna());
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    QSqlQuery row(records.db());
    QVERIFY(row.exec(QStringLiteral("SELECT \"operator\", status, point_count, started_at, station_started_at, "
                                    "finished_at FROM tests WHERE id = %1").arg(m_testId)));
    QVERIFY(row.next());
    // The login is the operator, whatever the identity bar holds.
    QCOMPARE(row.value(0).toString(), QStringLiteral("anna"));
    QCOMPARE(row.value(1).toString(), TestStatus::Complete);
    QCOMPARE(row.value(2).toInt(), 2 * PointsPerStroke);
    QCOMPARE(records.points(m_testId).size(), 2 * PointsPerStroke);
    // The server's clock for the record, the station's kept beside it.
    QVERIFY(!row.value(4).isNull());
    QVERIFY(row.value(3).toString() <= row.value(5).toString());
    const QString trail = auditOf(QStringLiteral("test_id = %1").arg(m_testId));
    QVERIFY2(trail.startsWith(QStringLiteral("anna insert tests")), qPrintable(trail));
    QVERIFY2(trail.contains(QStringLiteral("anna update tests")), qPrintable(trail));
    // Counting points while it runs is recording, not a change of record.
    QVERIFY2(trail.count(QLatin1Char('\n')) == 1, qPrintable(trail));
}

void tst_LabDatabase::operatorIsRefused_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("oldTest");   // the test ended an hour ago, else the one just recorded
    QTest::newRow("change a finished test") << "UPDATE tests SET verdict = 'pass' WHERE id = %1" << false;
    QTest::newRow("change its identity") << "UPDATE tests SET serial_number = 'X' WHERE id = %1" << false;
    QTest::newRow("delete a point") << "DELETE FROM curve_points WHERE test_id = %1" << false;
    QTest::newRow("delete a test") << "DELETE FROM tests WHERE id = %1" << false;
    // A minute after its end a test takes no more points.
    QTest::newRow("add a point to a finished test")
        << "INSERT INTO curve_points (test_id, stroke, seq, distance, force) VALUES (%1, 0, 100000, 1, 1)" << true;
    QTest::newRow("count more points of it") << "UPDATE tests SET point_count = 100001 WHERE id = %1" << true;
    QTest::newRow("create a table") << "CREATE TABLE notes_%1 (id INTEGER)" << false;
    QTest::newRow("write the trail")
        << "INSERT INTO audit_log (at, db_user, action, table_name) VALUES ('x', 'rita', 'insert', 'tests %1')" << false;
    QTest::newRow("clear the trail") << "DELETE FROM audit_log WHERE test_id = %1" << false;
    QTest::newRow("sign") << "INSERT INTO signatures (test_id, meaning) VALUES (%1, 'approved')" << false;
    QTest::newRow("freeze control limits")
        << "INSERT INTO control_limits (part_number, point_no, subgroup_size, location_center, location_upper, "
           "location_lower, spread_center, spread_upper, spread_lower, base_tests, frozen_by, frozen_at) "
           "VALUES ('P-%1', 1, 5, 10, 11, 9, 1, 2, 0, 25, 'anna', '')" << false;
}

void tst_LabDatabase::operatorIsRefused()
{
    QFETCH(QString, statement);
    QFETCH(bool, oldTest);
    QVERIFY(m_testId > 0);
    StoredRecords records(anna());
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    QSqlQuery query(records.db());
    QVERIFY2(!query.exec(statement.arg(oldTest ? m_oldTestId : m_testId)), "the server let the operator do it");
    QVERIFY2(query.lastError().text().contains(QStringLiteral("permission denied"))
                 || query.lastError().text().contains(QStringLiteral("row-level security"))
                 || query.lastError().text().contains(QStringLiteral("reviewer's amendment")),
             qPrintable(query.lastError().text()));
}

void tst_LabDatabase::changeByPsqlIsAudited()
{
    QVERIFY(m_testId > 0);
    const DatabaseConfig admin = m_cluster.config(Database);
    QVERIFY2(m_cluster.psql(admin, QStringLiteral("SET torvelin.reason = 'batch label misread'; "
                                                  "UPDATE tests SET batch = 'B8' WHERE id = %1")
                                       .arg(m_testId)),
             qPrintable(m_cluster.errorString()));
    const QString trail = auditOf(QStringLiteral("test_id = %1 AND new_values LIKE '%\"batch\": \"B8\"%'").arg(m_testId));
    QVERIFY2(trail.startsWith(QStringLiteral("torvelin update tests batch label misread")), qPrintable(trail));
    QVERIFY2(trail.contains(QStringLiteral("\"batch\": \"B7\"")), qPrintable(trail));
}

// Frozen limits carry the server's stamp, stay as they were, and are in the
// trail; withdrawing them adds a row rather than removing one.
void tst_LabDatabase::reviewerFreezesControlLimits()
{
    StoredRecords records(rita());
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    Spc::FrozenLimits limits;
    limits.subgroupSize = 4;
    limits.location = {20, 21.5, 18.5};
    limits.spread = {0.8, 1.8, 0};
    limits.baseTests = 100;
    limits.frozenBy = QStringLiteral("mallory");
    QString error;
    QVERIFY2(ControlLimitsStore::freeze(records.db(), QStringLiteral("P-9"), 2, limits, &error), qPrintable(error));
    std::optional<Spc::FrozenLimits> read;
    QVERIFY2(ControlLimitsStore::inForce(records.db(), QStringLiteral("P-9"), 2, &read, &error), qPrintable(error));
    QVERIFY(read);
    QCOMPARE(read->frozenBy, QStringLiteral("rita"));
    QVERIFY(read->frozenAt.isValid());
    QCOMPARE(read->subgroupSize, 4);
    QCOMPARE(read->location.lower, 18.5);
    QCOMPARE(read->spread.upper, 1.8);
    // Not even the owner, whom no grant holds back, changes them.
    StoredRecords admin(m_cluster.config(Database));
    QSqlQuery change(admin.db());
    QVERIFY(!change.exec(QStringLiteral("UPDATE control_limits SET location_upper = 30")));
    QVERIFY2(change.lastError().text().contains(QStringLiteral("never changed")), qPrintable(change.lastError().text()));
    QVERIFY2(auditOf(QStringLiteral("table_name = 'control_limits'")).startsWith(QStringLiteral("rita insert")),
             qPrintable(auditOf(QStringLiteral("table_name = 'control_limits'"))));

    QVERIFY2(ControlLimitsStore::withdraw(records.db(), QStringLiteral("P-9"), 2, &error), qPrintable(error));
    QVERIFY2(ControlLimitsStore::inForce(records.db(), QStringLiteral("P-9"), 2, &read, &error), qPrintable(error));
    QVERIFY(!read);
}

void tst_LabDatabase::reviewerAmendsWithAReason()
{
    QVERIFY(m_testId > 0);
    const RecordsReview::Signer reviewer{QStringLiteral("rita"), QLatin1String(ReviewerPassword)};
    QString error;
    QVERIFY(!RecordsReview::amend(anna(), reviewer, m_testId, RecordsReview::SerialNumber, QStringLiteral("S-7"),
                                  QStringLiteral(" "), &error));
    // The operator may not amend, nor the reviewer change the test itself.
    QVERIFY(!RecordsReview::amend(anna(), {QStringLiteral("anna"), QLatin1String(OperatorPassword)}, m_testId,
                                  RecordsReview::SerialNumber, QStringLiteral("S-7"), QStringLiteral("typo"), &error));
    QVERIFY2(error.contains(QStringLiteral("permission denied")), qPrintable(error));
    StoredRecords records(rita());
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    QSqlQuery direct(records.db());
    QVERIFY(!direct.exec(QStringLiteral("UPDATE tests SET serial_number = 'S-7' WHERE id = %1").arg(m_testId)));
    QVERIFY2(RecordsReview::amend(anna(), reviewer, m_testId, RecordsReview::SerialNumber, QStringLiteral("S-7"),
                                  QStringLiteral("label on the spring reads S-7"), &error),
             qPrintable(error));

    QCOMPARE(records.value(QStringLiteral("SELECT serial_number || ' ' || amended FROM tests WHERE id = %1")
                               .arg(m_testId)).toString(),
             QStringLiteral("S-7 1"));
    StoredTest test;
    QVERIFY2(RecordQueries::loadTest(records.db(), m_testId, false, &test, &error), qPrintable(error));
    QCOMPARE(test.amendments.size(), 1);
    QCOMPARE(test.amendments.first().signer, QStringLiteral("rita"));
    QCOMPARE(test.amendments.first().oldValue, QString(""));
    const QString trail = auditOf(QStringLiteral("table_name = 'tests' AND reason LIKE 'label%'"));
    QVERIFY2(trail.startsWith(QStringLiteral("rita update tests label on the spring reads S-7")), qPrintable(trail));
}

void tst_LabDatabase::signatureNeedsTheSignersPassword()
{
    QVERIFY(m_testId > 0);
    QString error;
    // Signed at the operator's station, by the reviewer's own login.
    QVERIFY(!RecordsReview::sign(anna(), {QStringLiteral("rita"), QStringLiteral("guess")}, {m_testId},
                                 RecordsReview::Approved, QString(), &error));
    QVERIFY2(error.contains(QStringLiteral("password authentication failed")), qPrintable(error));
    // A password remembered or in a password file does not sign: the one typed now does.
    QVERIFY(!RecordsReview::sign(rita(), {QStringLiteral("rita"), QString()}, {m_testId}, RecordsReview::Approved,
                                 QString(), &error));
    QVERIFY(!RecordsReview::sign(anna(), {QStringLiteral("anna"), QLatin1String(OperatorPassword)}, {m_testId},
                                 RecordsReview::Approved, QString(), &error));
    QVERIFY2(error.contains(QStringLiteral("permission denied")), qPrintable(error));
    QVERIFY2(RecordsReview::sign(anna(), {QStringLiteral("rita"), QLatin1String(ReviewerPassword)}, {m_testId},
                                 RecordsReview::Approved, QStringLiteral("curve and limits checked"), &error),
             qPrintable(error));
    StoredRecords records(anna());
    StoredTest test;
    QVERIFY2(RecordQueries::loadTest(records.db(), m_testId, false, &test, &error), qPrintable(error));
    QCOMPARE(test.signatures.size(), 1);
    QCOMPARE(test.signatures.first().signer, QStringLiteral("rita"));
    QCOMPARE(test.signatures.first().meaning, RecordsReview::Approved);
    QVERIFY(qAbs(test.signatures.first().at.secsTo(QDateTime::currentDateTimeUtc())) < 60);
}

void tst_LabDatabase::stationNeverCreatesTables()
{
    QVERIFY2(m_cluster.createDatabase(QStringLiteral("bare")), qPrintable(m_cluster.errorString()));
    StoredRecords station(m_cluster.config(QStringLiteral("bare")));
    QVERIFY(!station.isOpen());
    QVERIFY2(station.error().contains(QStringLiteral("torvelin-records init")), qPrintable(station.error()));
    StoredRecords look(m_cluster.config(QStringLiteral("postgres")));
    QString output;
    QVERIFY(m_cluster.psql(m_cluster.config(QStringLiteral("bare")),
                           QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), &output));
    QCOMPARE(output.section(QLatin1Char('\n'), 2, 2).trimmed(), QStringLiteral("0"));
}

void tst_LabDatabase::schemaOtherThanPublic()
{
    const QString database = QStringLiteral("shop");
    QVERIFY2(m_cluster.createDatabase(database), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.execute(database, {QStringLiteral("CREATE SCHEMA springs"),
                                          QStringLiteral("ALTER DATABASE shop SET search_path = springs")}),
             qPrintable(m_cluster.errorString()));
    RecordsAdministration::Report report;
    QString error;
    QVERIFY2(RecordsAdministration::initialise(m_cluster.config(database), &report, &error), qPrintable(error));

    TestRecorder recorder(m_cluster.config(database, QStringLiteral("anna"), QLatin1String(OperatorPassword)));
    QSignalSpy stored(&recorder, &TestRecorder::testStored);
    recorder.start();
    recorder.begin(TestHeader::startingNow());
    recorder.addPoint(0, 0.5, 1.5);
    recorder.finish();
    QVERIFY(stored.wait());
    QString output;
    QVERIFY(m_cluster.psql(m_cluster.config(database),
                           QStringLiteral("SELECT count(*) FROM springs.audit_log WHERE db_user = 'anna'"), &output));
    QCOMPARE(output.section(QLatin1Char('\n'), 2, 2).trimmed(), QStringLiteral("2"));
}

void tst_LabDatabase::passwordFileIsHonoured()
{
    const QString file = m_folder.filePath(QStringLiteral("pgpass"));
    QFile pgpass(file);
    QVERIFY(pgpass.open(QIODevice::WriteOnly));
    pgpass.write(QStringLiteral("127.0.0.1:%1:%2:anna:%3\n").arg(m_cluster.port()).arg(Database, OperatorPassword).toUtf8());
    pgpass.close();
    // libpq ignores a password file that others may read.
    QVERIFY(pgpass.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    qputenv("PGPASSFILE", file.toLocal8Bit());
    StoredRecords records(m_cluster.config(Database, QStringLiteral("anna"), QString()));
    qunsetenv("PGPASSFILE");
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
}

// Without a Search: the server's notice brings the other station's insert
// (within a second on a quiet machine; nothing else would bring it at all).
void tst_LabDatabase::historyListsAnotherStationsTest()
{
    qputenv("TORVELIN_DB", urlOf(rita()).toUtf8());
    HistoryWindow history;
    history.show();
    const int before = history.model()->rowCount();
    QVERIFY(before > 0);
    QVERIFY(m_cluster.psql(anna(), QStringLiteral("INSERT INTO tests (started_at, status, serial_number, mode, "
                                                  "distance_mode, speed, distance, force_decimals) VALUES "
                                                  "('', 'running', 'from-station-2', 0, 0, 100, 10, 1)")));
    QTRY_COMPARE(history.model()->rowCount(), before + 1);
    // A hung server or a statement gone wrong ends; the reader says why.
    QSqlQuery timeout(RecordsDatabase::forCurrentThread());
    QVERIFY(timeout.exec(QStringLiteral("SHOW statement_timeout")) && timeout.next());
    QCOMPARE(timeout.value(0).toString(), QStringLiteral("30s"));
    // A part's statistics neither spill their sorts to disk nor wait for
    // the server to compile them.
    QVERIFY(timeout.exec(QStringLiteral("SHOW work_mem")) && timeout.next());
    QCOMPARE(timeout.value(0).toString(), QStringLiteral("64MB"));
    QVERIFY(timeout.exec(QStringLiteral("SHOW jit")) && timeout.next());
    QCOMPARE(timeout.value(0).toString(), QStringLiteral("off"));
    qunsetenv("TORVELIN_DB");
}

// The reviewer signs in History at the operator's station: the dialog asks
// for the password, the server checks it, the list shows the signature.
void tst_LabDatabase::signingInHistory()
{
    QVERIFY(m_testId > 0);
    SignDialog dialog(1, 3, true, QStringLiteral("rita"));
    QSignalSpy requests(&dialog, &SignDialog::sendSignRequest);
    QPushButton *sign = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    sign->click();
    QVERIFY(requests.isEmpty());   // no password typed
    dialog.findChild<QComboBox *>(QStringLiteral("meaningCombo"))->setCurrentIndex(0);
    dialog.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("guess"));
    sign->click();
    QCOMPARE(requests.size(), 1);
    SignRequest request = requests.first().first().value<SignRequest>();
    QCOMPARE(request.signer.login, QStringLiteral("rita"));
    QCOMPARE(request.meaning, RecordsReview::Reviewed);

    qputenv("TORVELIN_DB", urlOf(anna()).toUtf8());
    HistoryWindow history;
    history.show();
    auto rowOf = [&history](qint64 id) {
        for (int row = 0; row < history.model()->rowCount(); ++row) {
            if (history.model()->testId(row) == id)
                return row;
        }
        return -1;
    };
    const int row = rowOf(m_testId);
    QVERIFY(row >= 0);
    auto *view = history.findChild<QTableView *>(QStringLiteral("testsView"));
    view->selectRow(row);
    QString told;
    whenModalOpens(&history, [&told](QWidget *box) {
        told = static_cast<QMessageBox *>(box)->text();
        closeModalWidgets();
    });
    history.receiveSignRequest(request);
    QVERIFY2(told.contains(QLatin1String("password authentication failed")), qPrintable(told));

    request.signer.password = QLatin1String(ReviewerPassword);
    history.receiveSignRequest(request);
    const QString signedText =
        history.model()->index(rowOf(m_testId), RecordQueries::ColumnSignatures).data().toString();
    // The latest of the test's two signatures, and that there is another.
    QVERIFY2(signedText.startsWith(QLatin1String("Reviewed by rita")) && signedText.endsWith(QLatin1String("(+1)")),
             qPrintable(signedText));
    // The serial number a reviewer corrected shows as corrected.
    QVERIFY(history.model()->index(rowOf(m_testId), RecordQueries::ColumnSerialNumber).data(Qt::FontRole)
                .value<QFont>().italic());
    QVERIFY(history.model()->index(rowOf(m_testId), RecordQueries::ColumnStatus).data().toString()
                .endsWith(QLatin1String("amended (1)")));
    qunsetenv("TORVELIN_DB");
}

// A reviewer corrects the batch at the operator's station: the dialog shows
// the value on record and wants a reason, the list shows the value now.
void tst_LabDatabase::amendingInHistory()
{
    QVERIFY(m_testId > 0);
    TestIdentity identity;
    identity.batch = QStringLiteral("B8");
    AmendDialog dialog(m_testId, identity, true, QStringLiteral("rita"));
    QSignalSpy requests(&dialog, &AmendDialog::sendAmendRequest);
    auto *fieldCombo = dialog.findChild<QComboBox *>(QStringLiteral("fieldCombo"));
    fieldCombo->setCurrentIndex(fieldCombo->findData(RecordsReview::Batch));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("currentLabel"))->text(), QStringLiteral("B8"));
    QPushButton *amend = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    dialog.findChild<QLineEdit *>(QStringLiteral("valueEdit"))->setText(QStringLiteral("B9"));
    dialog.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(QLatin1String(ReviewerPassword));
    amend->click();
    QVERIFY(requests.isEmpty());   // no reason given
    dialog.findChild<QLineEdit *>(QStringLiteral("reasonEdit"))->setText(QStringLiteral("label reads B9"));
    amend->click();
    QCOMPARE(requests.size(), 1);
    const AmendRequest request = requests.first().first().value<AmendRequest>();

    qputenv("TORVELIN_DB", urlOf(anna()).toUtf8());
    HistoryWindow history;
    history.show();
    history.receiveAmendRequest(request);
    int row = 0;
    while (row < history.model()->rowCount() && history.model()->testId(row) != m_testId)
        ++row;
    QVERIFY(row < history.model()->rowCount());
    QCOMPARE(history.model()->index(row, RecordQueries::ColumnBatch).data().toString(), QStringLiteral("B9"));
    QVERIFY(history.model()->index(row, RecordQueries::ColumnStatus).data().toString()
                .endsWith(QLatin1String("amended (2)")));
    const QString trail = auditOf(QStringLiteral("table_name = 'tests' AND reason = 'label reads B9'"));
    QVERIFY2(trail.startsWith(QStringLiteral("rita update tests")), qPrintable(trail));
    qunsetenv("TORVELIN_DB");
}

// The server restarts under an open History: its list still follows the
// other stations (last: every connection of the run is lost).
void tst_LabDatabase::historyFollowsAfterServerRestart()
{
    qputenv("TORVELIN_DB", urlOf(rita()).toUtf8());
    HistoryWindow history;
    history.show();
    const int before = history.model()->rowCount();
    QVERIFY(m_cluster.stop());
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY(m_cluster.psql(anna(), QStringLiteral("INSERT INTO tests (started_at, status, serial_number, mode, "
                                                  "distance_mode, speed, distance, force_decimals) VALUES "
                                                  "('', 'running', 'after-restart', 0, 0, 100, 10, 1)")));
    QTRY_COMPARE_WITH_TIMEOUT(history.model()->rowCount(), before + 1, 20000);
    // Listening again, it hears the next test at once.
    QVERIFY(m_cluster.psql(anna(), QStringLiteral("INSERT INTO tests (started_at, status, serial_number, mode, "
                                                  "distance_mode, speed, distance, force_decimals) VALUES "
                                                  "('', 'running', 'next', 0, 0, 100, 10, 1)")));
    QTRY_COMPARE(history.model()->rowCount(), before + 2);
    qunsetenv("TORVELIN_DB");
}

// No password in the address, none remembered, no password file: the
// window asks before the first test, the server checks what is typed.
void tst_LabDatabase::missingPasswordIsAskedFor()
{
    MemoryKeyring keyring;
    Keyring::replaceForTesting(&keyring);
    qputenv("PGPASSFILE", m_folder.filePath(QStringLiteral("no-password-file")).toLocal8Bit());
    qputenv("TORVELIN_DB", urlOf(m_cluster.config(Database, QStringLiteral("anna"), QString())).toUtf8());
    {
        MainWindow window;
        window.show();
        auto *recorder = window.findChild<TestRecorder *>();
        QSignalSpy failed(recorder, &TestRecorder::databaseFailed);
        PasswordDialog *prompt = nullptr;
        QTRY_VERIFY((prompt = openPrompt(window, nullptr)) != nullptr);
        QCOMPARE(prompt->findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->echoMode(), QLineEdit::Password);
        QVERIFY(prompt->findChild<QLabel *>(QStringLiteral("refusalLabel"))->isHidden());
        answer(prompt, QStringLiteral("not-annas"), true);

        // Asked again, with the server's reason; nothing remembered.
        PasswordDialog *again = nullptr;
        QTRY_VERIFY((again = openPrompt(window, prompt)) != nullptr);
        const QString refusal = again->findChild<QLabel *>(QStringLiteral("refusalLabel"))->text();
        QVERIFY2(refusal.contains(QLatin1String("password authentication failed")), qPrintable(refusal));
        QVERIFY(keyring.entries.isEmpty());
        answer(again, QLatin1String(OperatorPassword), true);

        QTRY_COMPARE(QStringList(keyring.entries.values()), QStringList{QLatin1String(OperatorPassword)});
        // The recorder and the readers log in with it.
        QCOMPARE(DatabaseConfig::current().password, QLatin1String(OperatorPassword));
        QSignalSpy stored(recorder, &TestRecorder::testStored);
        TestHeader header = TestHeader::startingNow();
        header.identity.serialNumber = QStringLiteral("asked-for");
        recorder->begin(header);
        recorder->addPoint(0, 0.5, 1.0);
        recorder->finish();
        QVERIFY(stored.wait());
        QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));
    }
    qunsetenv("TORVELIN_DB");
    qunsetenv("PGPASSFILE");
    Keyring::replaceForTesting(nullptr);
}

QTEST_MAIN(tst_LabDatabase)
#include "tst_labdatabase.moc"
