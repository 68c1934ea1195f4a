// The modal-widget helper the window tests answer dialogs with.
#include <QtTest>

namespace {

// Far below CTest's 300 s, far above the second the probe needs even under
// the sanitizers: a probe still running then hangs for good.
constexpr int ProbeLimitMs = 60000;

} // namespace

class tst_ModalWidget : public QObject
{
    Q_OBJECT

private slots:
    void failedCheckInAnAnswerClosesTheModalAndFails();
};

void tst_ModalWidget::failedCheckInAnAnswerClosesTheModalAndFails()
{
    QProcess probe;
    probe.start(QStringLiteral(MODAL_FAILURE_PROBE), QStringList());
    QVERIFY2(probe.waitForFinished(ProbeLimitMs), "the failed answer left its dialog open");
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QVERIFY(probe.exitCode() != 0);
    QVERIFY(probe.readAllStandardOutput().contains("deliberate failure"));
}

QTEST_MAIN(tst_ModalWidget)
#include "tst_modalwidget.moc"
