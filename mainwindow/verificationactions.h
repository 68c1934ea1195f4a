#pragma once

#include "recording/startgate.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QLabel;
class QMainWindow;
class QMenu;
class VerifyMachineDialog;

// The window's part of the machine's verification: Device → Verify
// Machine…, which stores the verification and writes its certificate, and
// the status bar's field with the station's state and due date. The window
// forwards the live values for the dialog's Take.
class VerificationActions : public QObject
{
    Q_OBJECT

public:
    // `machineRange` gives the connected machine's type (0: not known).
    VerificationActions(QMainWindow *window, QMenu *deviceMenu, std::function<int()> machineRange);

    // Reads the station's verifications again and shows its state.
    void refresh();
    // Where the certificate of a verification goes: the Data folder.
    static QString certificatePath(const MachineVerification &verification);

public slots:
    void receiveCurrentPointValue(float distance, float force);

private:
    void showDialog();
    void record(MachineVerification verification);

    QMainWindow *m_window;
    std::function<int()> m_machineRange;
    QLabel *m_label;
    StartGate m_gate;
    QPointer<VerifyMachineDialog> m_dialog;
};
