#pragma once

#include "records/databaseconfig.h"
#include "records/serverconnection.h"

#include <QObject>

class IdentityBar;
class LoginCheck;
class QLabel;
class QMainWindow;
class QMenu;
class QTimer;
class TestRecorder;

// The main window's part of the test records: the identity bar, the
// Records menu (Database…), and what the operator is told about the
// database. What is recorded, and when, is the session's (session/); this
// shows and chooses where it goes.
class TestRecording : public QObject
{
    Q_OBJECT

public:
    // Adds the identity bar, the Records menu (before Help) and a status
    // bar field to the window, and starts the recorder on its database; a
    // lab server that wants a password nobody gave is asked for it first.
    TestRecording(QMainWindow *window, TestRecorder *recorder);

    QMenu *recordsMenu() const { return m_menu; }
    IdentityBar *identityBar() const { return m_identityBar; }
    TestRecorder *recorder() const { return m_recorder; }

    // The records database and how the connection to it travels, for the
    // link statistics: "PostgreSQL anna@lab:5432/records, encrypted
    // (TLSv1.3, …)", not encrypted, or why there is no connection.
    static QString linkText();

private slots:
    void showDatabaseDialog();

private:
    void databaseFailed(const QString &message);
    void databaseRecovered();
    void interruptedFound(int count);
    void testSetAside(const QString &message);
    void showWaitingPoints();
    // Asks the server (off this thread) whether the login gets in.
    void checkLogin(const DatabaseConfig &config);
    void loginAnswered(const DatabaseConfig &config, const ServerConnection::Login &login);
    void askPassword(const DatabaseConfig &config, const QString &refusal);
    // The recorder writes there from now on (starting, the first time).
    void useDatabase(const DatabaseConfig &config);

    QMainWindow *m_window;
    TestRecorder *m_recorder;
    IdentityBar *m_identityBar;
    QMenu *m_menu;
    QLabel *m_statusLabel;
    QTimer *m_waitingTimer;
    bool m_failing = false;
    int m_outboxCount = 0;
    LoginCheck *m_loginCheck;
    // The configuration being checked holds a password the operator typed:
    // kept once the server takes it.
    bool m_passwordTyped = false;
};
