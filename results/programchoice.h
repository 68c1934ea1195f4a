#pragma once

#include "evaluation/testprogram.h"

#include <QObject>
#include <QString>
#include <QVector>

class QMenu;
class QWidget;

// The Program menu: which test program judges the next tests — one the
// machine stores (read through the worker's setting request, as the machine
// parameter page does), a program file, or none — and the program files'
// editor. The choice is remembered between runs (QSettings). It never
// touches the worker: it asks by signal and takes the answer in a slot.
class ProgramChoice : public QObject
{
    Q_OBJECT

public:
    // The menu is added to the window's menu bar.
    explicit ProgramChoice(QWidget *window);

    QMenu *menu() const { return m_menu; }

    // Brings back the choice of the last run: a program file is read at
    // once, a machine program once the machine is connected.
    void restore();
    // Called once the link to the machine is open.
    void machineConnected();
    // The lab's library chose the program (by the part number): it judges
    // from now on like a program chosen here. Nothing of it is remembered
    // for the next run; the part number chooses it again then.
    void useLibraryProgram(const TestProgram &program, const QString &name);

signals:
    void programChosen(const TestProgram &program, const QString &name);
    void noProgramChosen();
    void systemSetRequest(int index);

public slots:
    void receiveSystemSetting(QVector<float> pointSet, QVector<int> systemSet);

private:
    void chooseMachineProgram();
    void chooseProgramFile();
    void newProgramFile();
    void editProgramFile();
    void chooseNone();

    // `complain`: a machine that does not answer is worth a message box when
    // the operator asked, not when a remembered choice is read at Connect.
    void requestMachineProgram(int number, bool complain);
    bool useProgramFile(const QString &path, bool complain);
    void editAndSave(const TestProgram &program, const QString &path);
    void remember(const QString &source, const QString &path, int number);
    void warn(const QString &text);
    QString programFolder() const;

    QWidget *m_window;
    QMenu *m_menu;
    int m_pendingMachineProgram = 0; // to read at the next connection
    bool m_awaitingAnswer = false;
    bool m_answered = false;
};
