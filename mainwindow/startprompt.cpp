#include "mainwindow/startprompt.h"

#include <QMessageBox>
#include <QPushButton>

bool StartPrompt::mayStart(QWidget *parent, const StartGate::Decision &decision)
{
    switch (decision.verdict) {
    case StartGate::Verdict::Allowed:
        return true;
    case StartGate::Verdict::Block: {
        QMessageBox box(QMessageBox::Critical, tr("Start"), decision.reason + QStringLiteral("\n\n")
                            + tr("The test is not started."), QMessageBox::Ok, parent);
        box.setObjectName(QStringLiteral("startBlockedBox"));
        box.exec();
        return false;
    }
    case StartGate::Verdict::Warn: {
        QMessageBox box(QMessageBox::Warning, tr("Start"), decision.reason, QMessageBox::Cancel, parent);
        box.setObjectName(QStringLiteral("startWarningBox"));
        QPushButton *start = box.addButton(tr("Start anyway"), QMessageBox::AcceptRole);
        box.setDefaultButton(QMessageBox::Cancel);
        box.exec();
        return box.clickedButton() == start;
    }
    }
    return false;
}
