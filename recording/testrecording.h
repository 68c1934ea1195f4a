#pragma once

#include <QObject>

class IdentityBar;
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
    // bar field to the window, and starts the recorder on its database.
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

    QMainWindow *m_window;
    TestRecorder *m_recorder;
    IdentityBar *m_identityBar;
    QMenu *m_menu;
    QLabel *m_statusLabel;
    QTimer *m_waitingTimer;
    bool m_failing = false;
    int m_outboxCount = 0;
};
