#pragma once

#include "records/testrecord.h"

#include <QToolBar>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;

// Who tests which spring, filled in before Start: operator, part number,
// batch and serial number. Everything stays filled for the next test (and
// the next run); the serial number counts up after each Start when the
// operator asks for it.
class IdentityBar : public QToolBar
{
    Q_OBJECT

public:
    explicit IdentityBar(QWidget *parent = nullptr);

    TestIdentity identity() const;
    // A test started with identity(): count the serial number up.
    void testStarted();
    // That test was stopped before the machine returned: the spring is
    // tested again under its own number, unless the operator typed another.
    void testAborted();
    // What judges the part typed: shown beside it (empty: nothing shown).
    void showProgram(const QString &text);

signals:
    // The operator typed a part number and pressed Enter or left the field,
    // or a scanner typed one and its Enter. Enter always counts (the same
    // part scanned again chooses its program again); leaving the field only
    // when the number changed.
    void partNumberEntered(const QString &part);

private:
    void remember() const;
    QLineEdit *addField(const QString &label, const char *objectName, const QString &key);

    QLineEdit *m_operator;
    QLineEdit *m_partNumber;
    QLineEdit *m_batch;
    QLineEdit *m_serialNumber;
    QCheckBox *m_countUp;
    QString m_testedSerial;   // the last test's serial number, and what it
    QString m_countedSerial;  // counted up to
    QLabel *m_program;
    QAction *m_programAction;
    QString m_enteredPart;
};
