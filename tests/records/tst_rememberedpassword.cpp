// A remembered password lives in the system's keyring and nowhere else.
// This machine, like CI, has no Secret Service: the system keyring says so
// and the option is off with the reason. What remembering does is tested
// against a keyring in memory put in the system's place.
#include "keyring/keyring.h"
#include "keyring/systemkeyring.h"
#include "records/databaseconfig.h"
#include "recording/databasedialog.h"
#include "settings/usersettings.h"
#include "support/memorykeyring.h"

#include <QtTest>

#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const char Password[] = "s3cret-Pa55";

DatabaseConfig labServer()
{
    DatabaseConfig config;
    config.engine = DatabaseConfig::PostgreSQL;
    config.host = QStringLiteral("records.lab");
    config.database = QStringLiteral("lab");
    config.user = QStringLiteral("anna");
    config.password = QLatin1String(Password);
    config.rememberPassword = true;
    return config;
}

QByteArray settingsFile()
{
    QSettings settings = TorvelinSettings::open();
    settings.sync();
    QFile file(settings.fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_RememberedPassword : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void noKeyringSaysWhy();
    void rememberedInTheKeyringOnly();
    void plainPasswordOfOldSettingsMoves();

private:
    QTemporaryDir m_home;
    MemoryKeyring m_memory;
};

void tst_RememberedPassword::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
    // No session bus, whatever desktop the test runs on: no keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/torvelin-test-bus");
}

void tst_RememberedPassword::cleanup()
{
    Keyring::replaceForTesting(nullptr);
    DatabaseConfig::forgetRunPassword();
    m_memory.entries.clear();
}

void tst_RememberedPassword::noKeyringSaysWhy()
{
    SystemKeyring system;
    QString why;
    QVERIFY(!system.available(&why));
    QVERIFY(!why.isEmpty());
    QVERIFY(!system.write(QStringLiteral("torvelin-test"), QLatin1String(Password), nullptr));

    DatabaseDialog dialog(labServer(), false);
    auto *remember = dialog.findChild<QCheckBox *>(QStringLiteral("rememberPasswordCheckBox"));
    auto *note = dialog.findChild<QLabel *>(QStringLiteral("keyringLabel"));
    QVERIFY(remember && note);
    QVERIFY(!remember->isEnabled());
    QVERIFY(!remember->isChecked());
    QVERIFY(note->isVisibleTo(&dialog));
    QVERIFY2(note->text().contains(why), qPrintable(note->text()));
    QVERIFY(!dialog.config().rememberPassword);

    // Asked to remember anyway (an old caller, a hand-made config): this
    // run keeps it, the file never does.
    labServer().store();
    QVERIFY(!settingsFile().contains(Password));
    QVERIFY(!DatabaseConfig::stored().rememberPassword);
    QCOMPARE(DatabaseConfig::stored().password, QLatin1String(Password));
}

void tst_RememberedPassword::rememberedInTheKeyringOnly()
{
    Keyring::replaceForTesting(&m_memory);
    DatabaseDialog dialog(labServer(), false);
    auto *remember = dialog.findChild<QCheckBox *>(QStringLiteral("rememberPasswordCheckBox"));
    QVERIFY(remember->isEnabled());
    QVERIFY(remember->isChecked());
    QVERIFY(!dialog.findChild<QLabel *>(QStringLiteral("keyringLabel"))->isVisibleTo(&dialog));

    dialog.config().store();
    QCOMPARE(m_memory.entries.values(), QStringList{QLatin1String(Password)});
    QVERIFY(!settingsFile().contains(Password));
    // The next run reads it from the keyring.
    DatabaseConfig::forgetRunPassword();
    const DatabaseConfig next = DatabaseConfig::stored();
    QVERIFY(next.rememberPassword);
    QCOMPARE(next.password, QLatin1String(Password));

    // Unticked: the keyring forgets it.
    DatabaseConfig unticked = next;
    unticked.rememberPassword = false;
    unticked.store();
    QVERIFY(m_memory.entries.isEmpty());
    DatabaseConfig::forgetRunPassword();
    QVERIFY(DatabaseConfig::stored().password.isEmpty());
}

// Settings written by an earlier Torvelin held the password in plain text.
void tst_RememberedPassword::plainPasswordOfOldSettingsMoves()
{
    Keyring::replaceForTesting(&m_memory);
    labServer().store();
    m_memory.entries.clear();
    {
        QSettings settings = TorvelinSettings::open();
        settings.setValue(QStringLiteral("Records/password"), QStringLiteral("old-plain"));
    }
    DatabaseConfig::forgetRunPassword();
    const DatabaseConfig config = DatabaseConfig::stored();
    QCOMPARE(config.password, QStringLiteral("old-plain"));
    QCOMPARE(m_memory.entries.values(), QStringList{QStringLiteral("old-plain")});
    QVERIFY(!settingsFile().contains("old-plain"));
}

QTEST_MAIN(tst_RememberedPassword)
#include "tst_rememberedpassword.moc"
