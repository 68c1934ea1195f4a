#pragma once

#include "device/settings.h"
#include "curves/testcurves.h"
#include "evaluation/testprogram.h"
#include "programlibrary/programversion.h"
#include "records/testrecord.h"

#include <QObject>

#include <optional>

class IdentityBar;
class QLabel;
class QMainWindow;
class QMenu;
class QTimer;
class TestRecorder;

// The main window's part of the test records: the identity bar, the
// Records menu (Database…), the recorder, and what the operator is told
// about the database. The window calls testStarted at Start, addPoint for
// every point it draws and testEnded when the test ends. The record's
// verdict is its own test's points judged against the program in use at
// Start, whatever else the window's curves hold.
class TestRecording : public QObject
{
    Q_OBJECT

public:
    // Adds the identity bar, the Records menu (before Help) and a status
    // bar field to the window, and opens the configured database.
    explicit TestRecording(QMainWindow *window);
    ~TestRecording() override;

    // `library` and `verificationId` are what the record keeps of the
    // library version judging it and the verification in force (0: none).
    void testStarted(const Curve_Setting &setting, const Serial_Setting_Type &line, int machineType,
                     const std::optional<TestProgram> &program, const LibraryChoice &library,
                     qint64 verificationId);
    void addPoint(int stroke, double distance, double force);
    void testEnded();

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
    void showWaitingPoints();

    QMainWindow *m_window;
    TestRecorder *m_recorder;
    IdentityBar *m_identityBar;
    QMenu *m_menu;
    QLabel *m_statusLabel;
    QTimer *m_waitingTimer;
    TestCurves m_curves;                 // the running test's points
    std::optional<TestProgram> m_program;
    bool m_testOpen = false;
};
