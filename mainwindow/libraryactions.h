#pragma once

#include "programlibrary/programversion.h"
#include "recording/startgate.h"

#include <QObject>

class IdentityBar;
class ProgramChoice;
class QWidget;

// The window's part of the lab's program library: Program → Library…, and
// the part number in the identity bar choosing the part's approved program
// at once (typed and Enter, or scanned). What was chosen from the library
// is known until the operator chooses anything else in the Program menu;
// Start asks chosen() of the gate.
class LibraryActions : public QObject
{
    Q_OBJECT

public:
    LibraryActions(QWidget *window, ProgramChoice *choice, IdentityBar *bar);

    LibraryChoice chosen() const { return m_chosen; }

public slots:
    // The part's approved program, when the library has one, judges from now.
    void choose(const QString &part);

private:
    void showLibrary();
    void chosenElsewhere();
    void showStatus(const QString &text);

    QWidget *m_window;
    ProgramChoice *m_choice;
    IdentityBar *m_bar;
    StartGate m_gate;
    LibraryChoice m_chosen;
    bool m_choosing = false;
};
