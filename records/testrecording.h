#pragma once

#include "device/records.h"
#include "records/testrecord.h"

#include <QObject>

class IdentityBar;
class QLabel;
class QMainWindow;
class QMenu;
class QTimer;
class TestRecorder;

// The main window's part of the test records: the identity bar, the
// Records menu (Database…), the recorder, and what the operator is told
// about the database. The window calls testStarted at Start, addPoint for
// every point it draws and testEnded when the test ends.
class TestRecording : public QObject
{
    Q_OBJECT

public:
    // Adds the identity bar, the Records menu (before Help) and a status
    // bar field to the window, and opens the configured database.
    explicit TestRecording(QMainWindow *window);
    ~TestRecording() override;

    void testStarted(const Curve_Setting &setting, const Serial_Setting_Type &line, int machineType);
    void addPoint(int stroke, double distance, double force);
    void testEnded(const EvaluationRecord &evaluation = EvaluationRecord());

    QMenu *recordsMenu() const { return m_menu; }
    IdentityBar *identityBar() const { return m_identityBar; }
    TestRecorder *recorder() const { return m_recorder; }

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
};
