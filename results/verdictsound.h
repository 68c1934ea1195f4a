#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QAction;

// The sound of a final verdict, for an operator who is not looking: one
// beep for a pass, three for a fail. On unless switched off in the Program
// menu; the choice is kept for the next start.
class VerdictSound : public QObject
{
    Q_OBJECT

public:
    static constexpr int FailBeeps = 3;
    static constexpr int BeepIntervalMs = 250;

    explicit VerdictSound(QObject *parent = nullptr);

    // The menu's check box "Sound at the verdict".
    QAction *action() const { return m_action; }
    bool isEnabled() const;
    void play(bool passed);

    // What makes one beep: QApplication::beep, unless a test replaces it.
    static void setBeeper(std::function<void()> beeper);

private:
    QAction *m_action;
    QTimer m_repeat;
    int m_remaining = 0;
};
