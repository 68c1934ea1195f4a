#pragma once

#include <QDialog>
#include <QVector>
#include <array>

class QLabel;
class QLineEdit;

namespace Ui {
class machineParameter;
}

// Viewer of the test programs ("Setting" tab) and measured results ("Data"
// tab) stored in the tester's controller. It never touches the line itself:
// it asks by systemSetRequest/systemDataRequest and shows what arrives in
// receiveSystemSetting/receiveSystemData. Nothing is written to the machine.
class machineParameter : public QDialog
{
    Q_OBJECT

public:
    explicit machineParameter(QWidget *parent = nullptr);
    ~machineParameter() override;

    // For tests only: puts the program-wide Data tab refresh memory back to
    // its start-of-run state, as if no dialog had refreshed the Data tab yet.
    static void resetLastDataTest();

signals:
    void systemSetRequest(int index);
    void systemDataRequest(int index, int scanIndex);

public slots:
    void receiveSystemSetting(const QVector<float> &pointSet, const QVector<int> &systemSet);
    void receiveSystemData(const QVector<float> &pointData, const QVector<int> &systemData);

private slots:
    void on_preBtn_clicked();
    void on_nextBtn_clicked();
    void on_dataPreGroupBtn_clicked();
    void on_dataNextGroupBtn_clicked();
    void on_dataPreBtn_clicked();
    void on_dataNextBtn_clicked();
    void on_tabWidget_tabBarClicked(int index);

private:
    static constexpr int PointCount = 5;
    using PointEdits = std::array<QLineEdit *, PointCount>;
    using PointLabels = std::array<QLabel *, PointCount>;

    void installGridsAsPageLayouts();
    void requestFirstRecord();
    void blankDataPage();
    void showNoRecord();

    Ui::machineParameter *ui;

    // Meaningful only once the matching flag is set: the counters are whatever
    // the machine last reported, and nothing pages from them before that.
    int currentTest = 0;
    int testCount = 0;
    int currentGroup = 0;
    int currentScan = 0;
    bool testShown = false;
    bool recordShown = false;

    PointEdits forceEdits {};
    PointEdits distanceEdits {};
    PointEdits lowerEdits {};
    PointEdits upperEdits {};
    PointEdits tolEdits {};
    PointLabels dataForceLabels {};
    PointLabels dataDistanceLabels {};
    std::array<QLabel *, PointCount - 1> rateLabels {}; // points 2 to 5

    // Setting tab's test at the last automatic Data tab refresh, shared by
    // every dialog of the run so that reopening on the same test keeps the
    // machine from being asked again.
    static int lastDataTest;
};
