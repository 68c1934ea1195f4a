#pragma once

#include "evaluation/testprogram.h"

#include <QDialog>

namespace Ui {
class ProgramDialog;
}

// Edits one test program: number, speed, five test points and the spring
// data. Hands the edited program back by sendProgram when accepted; keys of
// the file it does not show are carried over untouched.
class ProgramDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgramDialog(const TestProgram &program, QWidget *parent = nullptr);
    ~ProgramDialog() override;

signals:
    void sendProgram(TestProgram program);

public slots:
    void accept() override;

private:
    bool readProgram(TestProgram *program);
    void fitColumns();

    Ui::ProgramDialog *ui;
    TestProgram m_original;
};
