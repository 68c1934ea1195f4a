#pragma once

#include "history/amenddialog.h"
#include "history/signdialog.h"
#include "qdas/dfqwriter.h"
#include "records/historyfilter.h"
#include "records/storedtest.h"
#include "records/verificationstore.h"

#include <QWidget>

#include <functional>

class HistoryModel;
class QSqlDatabase;
class QTimer;
class RecordsNotifier;
class TestLoader;

namespace Ui {
class HistoryWindow;
}

// Records → History: every test on record, newest first, through a filter
// of part number, batch, days and verdict, or the tests a failed machine
// verification puts in doubt. From here a test opens into the
// main window's plot, several tests overlay in one plot, a batch gets its
// statistics, a test its report, and a filter's results go to a CSV file
// or, for one part number, to a Q-DAS file. A reviewer signs tests and
// corrects a test's mistyped identity here.
// On a lab's server the list follows the other stations: a test recorded,
// ended, amended or signed anywhere is read again within a second.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(QWidget *parent = nullptr);
    ~HistoryWindow() override;

    HistoryFilter filter() const;
    // Tests selected in the list, in the list's order.
    QList<qint64> selectedTests() const;
    HistoryModel *model() const { return m_model; }

signals:
    // A test to show in the plot, with its curves and its evaluation.
    void sendStoredTest(const StoredTest &test);

public slots:
    // Reads the filter's tests again (also after new tests were recorded).
    void refresh();
    // Signs what the request names; refused (and told) when the server
    // does not take the login and password.
    void receiveSignRequest(const SignRequest &request);
    // Corrects a test's identity as the request says; refused (and told)
    // when the server does not take the login, the password or the role.
    void receiveAmendRequest(const AmendRequest &request);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_searchBtn_clicked();
    void on_openBtn_clicked();
    void on_overlayBtn_clicked();
    void on_reportBtn_clicked();
    void on_signBtn_clicked();
    void on_amendBtn_clicked();
    void on_statisticsBtn_clicked();
    void on_csvBtn_clicked();
    // Export → Q-DAS in the encoding chosen from the button's menu.
    void exportDfq(Dfq::Encoding encoding);
    void on_suspectCombo_activated(int index);
    void on_suspectsPdfBtn_clicked();

private:
    bool database(QSqlDatabase *db);
    // The filter's tests as a file: the name asked for, the tests read, the
    // bytes made (or refused, with the reason) and written whole.
    using FileMaker = std::function<bool(const QVector<StoredTest> &tests, QByteArray *bytes, QString *error)>;
    void exportFilter(const QString &caption, const QString &suggested, const QString &pattern,
                      const FileMaker &make);
    // What the selected tests are read for: their curves are read off the
    // window's thread, and the action goes on when they are in.
    enum class Reading { Open, Overlay, Report };
    void loadSelected(Reading reading);
    void selectedLoaded(int request, const QVector<StoredTest> &tests, const QString &error);
    void writeReport(const StoredTest &test);
    void fillChoices(const QSqlDatabase &db);
    void fillSuspicions(const QSqlDatabase &db);
    void updateButtons();
    void showFailure(const QString &what, const QString &why);

    void selectTests(const QList<qint64> &ids);
    void showEveryColumn();

    Ui::HistoryWindow *ui;
    HistoryModel *m_model;
    TestLoader *m_loader;
    int m_loading = 0;   // the request answered next
    Reading m_reading = Reading::Open;
    // A verification that failed as found and the tests it puts in doubt.
    struct Suspicion
    {
        MachineVerification failed;
        QStringList stations;
        VerificationRules::SuspectPeriod period;
    };
    QVector<Suspicion> m_suspicions; // in the order of the choice, after "none"
    const Suspicion *chosenSuspicion() const;
    RecordsNotifier *m_notifier;
    QTimer *m_changedTimer;
    int m_inFilter = 0;   // tests the filter selects
    bool m_shown = false;
};
