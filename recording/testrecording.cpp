#include "recording/testrecording.h"

#include "recording/databasedialog.h"
#include "recording/identitybar.h"
#include "recording/logincheck.h"
#include "recording/passworddialog.h"
#include "records/recordsdatabase.h"
#include "records/serverconnection.h"
#include "records/testrecorder.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QDebug>
#include <QTimer>

namespace {
constexpr int WaitingRefreshMs = 1000;

// A notice that does not hold up the window: the test goes on behind it.
void showNotice(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("recordsNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
} // namespace

TestRecording::TestRecording(QMainWindow *window, TestRecorder *recorder)
    : QObject(window)
    , m_window(window)
    , m_recorder(recorder)
    , m_identityBar(new IdentityBar(window))
    , m_menu(new QMenu(tr("Records"), window))
    , m_statusLabel(new QLabel(window))
    , m_waitingTimer(new QTimer(this))
    , m_loginCheck(new LoginCheck(this))
{
    window->addToolBarBreak(Qt::TopToolBarArea);
    window->addToolBar(Qt::TopToolBarArea, m_identityBar);

    m_menu->setObjectName(QStringLiteral("menuRecords"));
    QAction *database = m_menu->addAction(tr("Database..."));
    database->setObjectName(QStringLiteral("actionDatabase"));
    connect(database, &QAction::triggered, this, &TestRecording::showDatabaseDialog);
    QMenuBar *bar = window->menuBar();
    const QList<QAction *> menus = bar->actions();
    // Before Help, which stays last.
    bar->insertMenu(menus.isEmpty() ? nullptr : menus.last(), m_menu);

    m_statusLabel->setObjectName(QStringLiteral("recordsStatusLabel"));
    m_statusLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    window->statusBar()->addPermanentWidget(m_statusLabel);
    m_waitingTimer->setInterval(WaitingRefreshMs);
    connect(m_waitingTimer, &QTimer::timeout, this, &TestRecording::showWaitingPoints);

    const QString environmentError = DatabaseConfig::environmentError();
    if (!environmentError.isEmpty()) {
        // Said where it is seen at once, and where a start from a script logs it.
        qCritical().noquote() << environmentError;
        m_statusLabel->setText(environmentError);
    }
    connect(m_recorder, &TestRecorder::databaseFailed, this, &TestRecording::databaseFailed);
    connect(m_recorder, &TestRecorder::databaseRecovered, this, &TestRecording::databaseRecovered);
    connect(m_recorder, &TestRecorder::interruptedFound, this, &TestRecording::interruptedFound);
    connect(m_recorder, &TestRecorder::testSetAside, this, &TestRecording::testSetAside);
    connect(m_recorder, &TestRecorder::outboxWaiting, this, [this](int count) {
        m_outboxCount = count;
        showWaitingPoints();
    });
    connect(m_loginCheck, &LoginCheck::answered, this, &TestRecording::loginAnswered);
    checkLogin(DatabaseConfig::current());
}

QString TestRecording::linkText()
{
    const DatabaseConfig config = DatabaseConfig::current();
    if (config.engine == DatabaseConfig::SQLite)
        return tr("%1, a file on this computer").arg(config.description());
    // The readers' connection of this thread goes to the same server with
    // the same settings as the recorder's.
    QString error;
    const QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (!db.isValid())
        return tr("%1: no connection (%2)").arg(config.description(), error);
    const ServerConnection::Encryption encryption = ServerConnection::encryption(db);
    return encryption.encrypted
               ? tr("%1, encrypted (%2, %3)").arg(config.description(), encryption.protocol, encryption.cipher)
               : tr("%1, not encrypted").arg(config.description());
}

void TestRecording::showDatabaseDialog()
{
    auto *dialog = new DatabaseDialog(DatabaseConfig::current(), DatabaseConfig::fromEnvironment(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &DatabaseDialog::sendDatabaseConfig, this, [this](DatabaseConfig config) {
        config.store();
        m_passwordTyped = false;
        checkLogin(config);
    });
    dialog->exec();
}

void TestRecording::checkLogin(const DatabaseConfig &config)
{
    if (config.engine == DatabaseConfig::PostgreSQL && config.unusable.isEmpty())
        m_loginCheck->check(config);
    else
        useDatabase(config);
}

void TestRecording::loginAnswered(const DatabaseConfig &config, const ServerConnection::Login &login)
{
    using Login = ServerConnection::Login;
    if (login.answer == Login::PasswordNeeded || login.answer == Login::PasswordRefused) {
        askPassword(config, login.answer == Login::PasswordRefused ? login.reason : QString());
        return;
    }
    // Taken, or the server cannot be reached now: then the recorder says
    // why and keeps every test until it can (the password typed meanwhile
    // is kept for when it can).
    if (m_passwordTyped) {
        if (DatabaseConfig::fromEnvironment())
            config.keepPassword();
        else
            config.store();
        m_passwordTyped = false;
    }
    useDatabase(config);
}

void TestRecording::askPassword(const DatabaseConfig &config, const QString &refusal)
{
    auto *dialog = new PasswordDialog(config, refusal, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PasswordDialog::sendPassword, this, [this, config](const QString &password, bool remember) {
        DatabaseConfig typed = config;
        typed.password = password;
        typed.rememberPassword = remember;
        m_passwordTyped = true;
        checkLogin(typed);
    });
    // Not typed: the recorder tries as it is, says why it cannot write, and
    // Records > Database takes the password later.
    connect(dialog, &QDialog::rejected, this, [this, config] {
        m_passwordTyped = false;
        useDatabase(config);
    });
    // Window-modal: no test starts before it is answered.
    dialog->open();
}

void TestRecording::useDatabase(const DatabaseConfig &config)
{
    m_recorder->setDatabase(config);
    m_recorder->start();
}

void TestRecording::databaseFailed(const QString &message)
{
    showNotice(m_window, QMessageBox::Warning, tr("Records"),
               tr("%1\n\nThe test goes on: its points are kept in memory and written as soon as "
                  "the database is back. File > Save still writes the curves to a curve file.")
                   .arg(message));
    m_failing = true;
    showWaitingPoints();
    m_waitingTimer->start();
}

void TestRecording::databaseRecovered()
{
    m_waitingTimer->stop();
    m_failing = false;
    showWaitingPoints();
    m_window->statusBar()->showMessage(tr("The test records are written to the database again."));
}

void TestRecording::showWaitingPoints()
{
    QStringList parts{DatabaseConfig::environmentError()};
    if (m_failing)
        parts << tr("Records not written: %n point(s) waiting", nullptr, m_recorder->pendingPoints());
    if (m_outboxCount > 0)
        parts << tr("%n test(s) kept on this computer for the records database", nullptr, m_outboxCount);
    parts.removeAll(QString());
    m_statusLabel->setText(parts.join(QLatin1Char(' ')));
}

void TestRecording::testSetAside(const QString &message)
{
    m_window->statusBar()->showMessage(message);
    // Said once where it can be read whole; a later refusal replaces the
    // text of a notice still open rather than stacking another.
    auto *open = m_window->findChild<QMessageBox *>(QStringLiteral("recordsAsideNotice"));
    if (open) {
        open->setText(message);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Records"), message, QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("recordsAsideNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TestRecording::interruptedFound(int count)
{
    showNotice(m_window, QMessageBox::Information, tr("Records"),
               tr("%n test(s) of this station were still running when Torvelin last ended (closed "
                  "by force, crashed or lost power). They are kept as interrupted, with every "
                  "point written until then.",
                  nullptr, count));
}
