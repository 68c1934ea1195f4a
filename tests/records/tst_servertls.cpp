// A lab's server that speaks TLS, with a certificate this test signs by a
// CA of its own: what sslmode asks for is what the connection gets, the
// server itself says the connection is encrypted, and a verifying mode
// without the right CA, or to a name the certificate does not carry, is
// refused with libpq's reason.
#include "records/recordsdatabase.h"
#include "records/serverconnection.h"
#include "recording/databasedialog.h"
#include "recording/testrecording.h"
#include "support/postgrescluster.h"

#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

namespace {
const char Database[] = "lab";
const char Connection[] = "tst-servertls";
} // namespace

class tst_ServerTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void modes_data();
    void modes();
    void dialogSaysEncrypted();
    void linkStatisticsSayEncrypted();

private:
    bool openssl(const QStringList &arguments);
    QString file(const char *name) const { return m_cluster.folder() + QLatin1Char('/') + QLatin1String(name); }

    PostgresCluster m_cluster{PostgresCluster::Password};
};

bool tst_ServerTls::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    qWarning("openssl %s: %s", qPrintable(arguments.join(QLatin1Char(' '))), process.readAll().constData());
    return false;
}

void tst_ServerTls::initTestCase()
{
    // Initialised first, so that the certificates go into a folder the
    // server's account gets at the next start.
    QVERIFY2(m_cluster.start() && m_cluster.stop(), qPrintable(m_cluster.errorString()));
    for (const char *ca : {"ca", "other-ca"}) {
        QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                         QStringLiteral("/CN=Torvelin test %1").arg(QLatin1String(ca)), "-keyout",
                         file(ca) + ".key", "-out", file(ca) + ".crt"}));
    }
    QVERIFY(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", file("server.key"),
                     "-out", file("server.csr")}));
    QFile extensions(file("server.ext"));
    QVERIFY(extensions.open(QIODevice::WriteOnly));
    extensions.write("subjectAltName = IP:127.0.0.1\n");
    extensions.close();
    QVERIFY(openssl({"x509", "-req", "-in", file("server.csr"), "-CA", file("ca.crt"), "-CAkey", file("ca.key"),
                     "-CAcreateserial", "-days", "2", "-extfile", file("server.ext"), "-out", file("server.crt")}));
    // The server refuses a key others may read.
    QVERIFY(QFile::setPermissions(file("server.key"), QFile::ReadOwner | QFile::WriteOwner));
    m_cluster.setServerOption(QStringLiteral("ssl"), QStringLiteral("on"));
    m_cluster.setServerOption(QStringLiteral("ssl_cert_file"), file("server.crt"));
    m_cluster.setServerOption(QStringLiteral("ssl_key_file"), file("server.key"));
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.createRecordsDatabase(Database), qPrintable(m_cluster.errorString()));
}

void tst_ServerTls::modes_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("sslMode");
    QTest::addColumn<QString>("rootCert");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("refusal");   // part of libpq's reason; empty where it opens

    QTest::newRow("require") << "127.0.0.1" << "require" << "" << true << "";
    QTest::newRow("verify-full, the server's CA") << "127.0.0.1" << "verify-full" << "ca.crt" << true << "";
    QTest::newRow("verify-full, another CA")
        << "127.0.0.1" << "verify-full" << "other-ca.crt" << false << "certificate verify failed";
    QTest::newRow("verify-full, a name not on the certificate")
        << "localhost" << "verify-full" << "ca.crt" << false << "does not match host name";
    QTest::newRow("verify-ca, another name is fine") << "localhost" << "verify-ca" << "ca.crt" << true << "";
    QTest::newRow("disable") << "127.0.0.1" << "disable" << "" << false << "";
}

void tst_ServerTls::modes()
{
    QFETCH(QString, host);
    QFETCH(QString, sslMode);
    QFETCH(QString, rootCert);
    QFETCH(bool, encrypted);
    QFETCH(QString, refusal);

    DatabaseConfig config = m_cluster.config(Database);
    config.host = host;
    config.sslMode = sslMode;
    if (!rootCert.isEmpty())
        config.sslRootCert = file(qPrintable(rootCert));
    QString error;
    const bool opened = RecordsDatabase::open(config, QLatin1String(Connection), &error);
    if (!refusal.isEmpty()) {
        QVERIFY(!opened);
        QVERIFY2(error.contains(refusal), qPrintable(error));
        return;
    }
    QVERIFY2(opened, qPrintable(error));
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(Connection), false);
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()"))
                     && query.next(),
                 qPrintable(query.lastError().text()));
        QCOMPARE(query.value(0).toBool(), encrypted);
        const ServerConnection::Encryption seen = ServerConnection::encryption(db);
        QCOMPARE(seen.encrypted, encrypted);
        QCOMPARE(seen.protocol.startsWith(QLatin1String("TLS")), encrypted);
    }
    RecordsDatabase::close(QLatin1String(Connection));
}

// The operator learns from Test connection whether the records would
// travel encrypted, and why a verifying mode is refused.
void tst_ServerTls::dialogSaysEncrypted()
{
    DatabaseConfig config = m_cluster.config(Database);
    config.sslMode = QStringLiteral("verify-full");
    config.sslRootCert = file("ca.crt");
    DatabaseDialog dialog(config, false);
    auto *result = dialog.findChild<QLabel *>(QStringLiteral("testResultLabel"));
    auto *test = dialog.findChild<QPushButton *>(QStringLiteral("testButton"));
    QVERIFY(result && test);
    test->click();
    QVERIFY2(result->text().contains(QLatin1String("encrypted (TLS")), qPrintable(result->text()));
    QCOMPARE(dialog.config().sslMode, QStringLiteral("verify-full"));
    QCOMPARE(dialog.config().sslRootCert, file("ca.crt"));

    config.sslRootCert = file("other-ca.crt");
    DatabaseDialog refused(config, false);
    refused.findChild<QPushButton *>(QStringLiteral("testButton"))->click();
    const QString refusal = refused.findChild<QLabel *>(QStringLiteral("testResultLabel"))->text();
    QVERIFY2(refusal.contains(QLatin1String("certificate verify failed")), qPrintable(refusal));

    config.sslMode = QStringLiteral("disable");
    DatabaseDialog clear(config, false);
    clear.findChild<QPushButton *>(QStringLiteral("testButton"))->click();
    const QString plain = clear.findChild<QLabel *>(QStringLiteral("testResultLabel"))->text();
    QVERIFY2(plain.contains(QLatin1String("not encrypted")), qPrintable(plain));
}

// TORVELIN_DB with sslmode, as a station's service starts the program.
void tst_ServerTls::linkStatisticsSayEncrypted()
{
    const DatabaseConfig admin = m_cluster.config(Database);
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(admin.host);
    url.setPort(admin.port);
    url.setPath(QLatin1Char('/') + admin.database);
    url.setUserName(admin.user);
    url.setPassword(admin.password);
    for (const QString &mode : {QStringLiteral("require"), QStringLiteral("disable")}) {
        url.setQuery(QStringLiteral("sslmode=") + mode);
        qputenv("TORVELIN_DB", url.toString().toUtf8());
        const QString text = TestRecording::linkText();
        QVERIFY2(text.contains(mode == QLatin1String("require") ? QLatin1String("encrypted (TLS")
                                                                : QLatin1String("not encrypted")),
                 qPrintable(text));
    }
    qunsetenv("TORVELIN_DB");
}

QTEST_MAIN(tst_ServerTls)
#include "tst_servertls.moc"
