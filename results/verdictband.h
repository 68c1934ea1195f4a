#pragma once

#include <QLabel>

// The verdict of the test in view, readable across the room: a band as wide
// as the plot above it, green with PASS or red with FAIL and the spring's
// serial number, neutral with "Testing…" while the stroke runs. It is the
// largest text of the window; a long serial number makes the font smaller,
// never below the results panel's verdict, and is then shortened in the
// middle. Hidden
// while no program judges the tests.
class VerdictBand : public QLabel
{
    Q_OBJECT

public:
    // Aborted: stopped before the machine returned, neutral, no verdict.
    enum class State { Hidden, Ready, Testing, Pass, Fail, Aborted };

    static constexpr int MinimumHeight = 48;
    // Of the window's font: above the results panel's verdict (2.5) and
    // the 20 pt readout.
    static constexpr double FontScale = 3.5;
    static constexpr double SmallestFontScale = 2.75;

    explicit VerdictBand(QWidget *parent = nullptr);

    State state() const { return m_state; }
    void showState(State state, const QString &serialNumber = QString());
    // The whole text, however the band had to shorten it.
    QString fullText() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitText();

    State m_state = State::Hidden;
    QString m_text;
    QFont m_largest;
    double m_smallestPointSize = 0;
};
