// Fails on purpose: run by tst_modalwidget, not by CTest.
#include "support/modalwidget.h"

#include <QtTest>

class ModalFailureProbe : public QObject
{
    Q_OBJECT

private slots:
    void checkFailsInsideTheAnswer()
    {
        QDialog dialog;
        whenModalOpens(this, [](QWidget *) { QVERIFY2(false, "deliberate failure"); });
        dialog.exec();
    }
};

QTEST_MAIN(ModalFailureProbe)
#include "modal_failure_probe.moc"
