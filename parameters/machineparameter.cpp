#include "parameters/machineparameter.h"

#include "numbers/numbertext.h"
#include "device/registers.h"
#include "widgets/widgetfit.h"
#include "evaluation/springrate.h"
#include "ui_machineparameter.h"

#include <algorithm>
#include <limits>

namespace {

// Shape of the machine's answers: the worker always hands on exactly these
// lengths; anything shorter is not an answer this dialog can show.
constexpr int SystemSetSize = 9;
constexpr int PointSetSize = 25;
constexpr int SystemDataSize = 4;
constexpr int PointDataSize = 10;

// systemSet and pointSet positions
using namespace TesterRegisters::SettingLayout;
constexpr int SpringDataDecimals = 2;

// systemData and pointData positions
constexpr int DataGroup = 0;
constexpr int DataGroupCount = 1;
constexpr int DataScan = 2;
constexpr int DataScanCount = 3;
constexpr int DataFirstForce = 0;
constexpr int DataFirstDistance = 5;

// All four counters at this value: the machine has no such record.
constexpr int NoRecordMarker = 255;

constexpr int DataTabIndex = 1;
constexpr int FirstGroup = 1;
constexpr int FirstScan = 1;
constexpr int LastCounter = std::numeric_limits<int>::max();

QString counterText(int number, int count)
{
    return QStringLiteral("%1/%2").arg(number).arg(count);
}

QString plainText(int value)
{
    return QString::number(value);
}

} // namespace

int machineParameter::lastDataTest = 0;

void machineParameter::resetLastDataTest()
{
    lastDataTest = 0;
}

machineParameter::machineParameter(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::machineParameter)
{
    ui->setupUi(this);
    installGridsAsPageLayouts();

    forceEdits = {ui->force1stEdit, ui->force2ndEdit, ui->force3rdEdit, ui->force4thEdit,
                  ui->force5thEdit};
    distanceEdits = {ui->distance1stEdit, ui->distance2ndEdit, ui->distance3rdEdit,
                     ui->distance4thEdit, ui->distance5thEdit};
    lowerEdits = {ui->lower1stEdit, ui->lower2ndEdit, ui->lower3rdEdit, ui->lower4thEdit,
                  ui->lower5thEdit};
    upperEdits = {ui->upper1stEdit, ui->upper2ndEdit, ui->upper3rdEdit, ui->upper4thEdit,
                  ui->upper5thEdit};
    tolEdits = {ui->tol1stEdit, ui->tol2ndEdit, ui->tol3rdEdit, ui->tol4thEdit, ui->tol5thEdit};
    dataForceLabels = {ui->dataForce1stLabel, ui->dataForce2ndLabel, ui->dataForce3rdLabel,
                       ui->dataForce4thLabel, ui->dataForce5thLabel};
    dataDistanceLabels = {ui->dataDistance1stLabel, ui->dataDistance2ndLabel,
                          ui->dataDistance3rdLabel, ui->dataDistance4thLabel,
                          ui->dataDistance5thLabel};
    rateLabels = {ui->sRate2ndLabel, ui->sRate3rdLabel, ui->sRate4thLabel, ui->sRate5thLabel};

    ui->tabWidget->setCurrentWidget(ui->settingTab);
    blankDataPage();
    reserveRoom();
    WidgetFit::fit(this);
}

// The values arrive after the dialog has its size: room for the widest
// ones a machine holds (five-digit forces, 200.00 mm, three-digit counters).
void machineParameter::reserveRoom()
{
    const QString force = WidgetFit::digits(5, forceDecimals);
    const QString distance = WidgetFit::digits(3, NumberText::DistanceDecimals);
    const QString counter = QStringLiteral("000/000");
    const auto reserveAll = [](const auto &cells, const QString &widest) {
        for (QWidget *cell : cells)
            WidgetFit::reserve(cell, widest);
    };
    reserveAll(forceEdits, force);
    reserveAll(lowerEdits, force);
    reserveAll(upperEdits, force);
    reserveAll(dataForceLabels, force);
    reserveAll(rateLabels, force);
    reserveAll(distanceEdits, distance);
    reserveAll(dataDistanceLabels, distance);
    reserveAll(tolEdits, WidgetFit::digits(3, 0, false));
    reserveAll(QList<QWidget *>{ui->testNumEdit, ui->dataGroupNumEdit, ui->dataTestNumLabel},
               counter);
    reserveAll(QList<QWidget *>{ui->repeatNumEdit, ui->speedEdit}, WidgetFit::digits(5, 0, false));
    reserveAll(QList<QWidget *>{ui->effectWindingEdit, ui->freeLengthEdit, ui->meanDiameterEdit,
                                ui->wireDiameterEdit},
               WidgetFit::digits(3, SpringDataDecimals, false));
    WidgetFit::reserve(ui->springRateEdit, WidgetFit::digits(5, SpringDataDecimals));
}

machineParameter::~machineParameter()
{
    delete ui;
}

// The designer keeps each grid in a fixed-size container; handing the grid to
// its page lets it fill the whole page and follow its size. The emptied
// containers are hidden so that nothing invisible lies over the cells.
void machineParameter::installGridsAsPageLayouts()
{
    ui->settingTab->setLayout(ui->gridLayout_2);
    ui->dataTab->setLayout(ui->gridLayout);
    ui->gridLayoutWidget->hide();
    ui->gridLayoutWidget_2->hide();
}

void machineParameter::blankDataPage()
{
    const QList<QLabel *> cells {ui->dataGroupNumEdit, ui->dataTestNumLabel, ui->sRate1stLabel,
                                 ui->iLoadLabel};
    for (QLabel *cell : cells)
        cell->clear();
    for (QLabel *cell : dataForceLabels)
        cell->clear();
    for (QLabel *cell : dataDistanceLabels)
        cell->clear();
    for (QLabel *cell : rateLabels)
        cell->clear();
}

// A short answer is dropped whole, like one the worker rejects: filling only
// part of the page would mix two stored tests on one screen.
void machineParameter::receiveSystemSetting(const QVector<float> &pointSet,
                                            const QVector<int> &systemSet)
{
    if (systemSet.size() < SystemSetSize || pointSet.size() < PointSetSize)
        return;

    testCount = systemSet.at(TestCount);
    currentTest = systemSet.at(CurrentTest);
    testShown = true;

    ui->testNumEdit->setText(counterText(currentTest, testCount));
    ui->repeatNumEdit->setText(plainText(systemSet.at(RepeatNumber)));
    ui->speedEdit->setText(plainText(systemSet.at(Speed)));
    for (int point = 0; point < PointCount; ++point) {
        forceEdits[point]->setText(NumberText::force(pointSet.at(FirstForce + point)));
        distanceEdits[point]->setText(NumberText::distance(pointSet.at(FirstDistance + point)));
        lowerEdits[point]->setText(NumberText::force(pointSet.at(FirstLower + point)));
        upperEdits[point]->setText(NumberText::force(pointSet.at(FirstUpper + point)));
        tolEdits[point]->setText(plainText(systemSet.at(FirstTolerance + point)));
    }
    const auto springData = [&pointSet](int position) {
        return NumberText::fixed(pointSet.at(position), SpringDataDecimals);
    };
    ui->effectWindingEdit->setText(springData(EffectiveWinding));
    ui->springRateEdit->setText(springData(SpringRate));
    ui->freeLengthEdit->setText(springData(FreeLength));
    ui->meanDiameterEdit->setText(springData(MeanDiameter));
    ui->wireDiameterEdit->setText(springData(WireDiameter));
}

// Short answers are dropped whole, as on the Setting tab.
void machineParameter::receiveSystemData(const QVector<float> &pointData,
                                         const QVector<int> &systemData)
{
    if (systemData.size() < SystemDataSize || pointData.size() < PointDataSize)
        return;

    const bool noRecord = std::all_of(systemData.cbegin(), systemData.cbegin() + SystemDataSize,
                                      [](int value) { return value == NoRecordMarker; });
    if (noRecord) {
        showNoRecord();
        return;
    }

    currentGroup = systemData.at(DataGroup);
    currentScan = systemData.at(DataScan);
    recordShown = true;

    ui->dataGroupNumEdit->setText(counterText(currentGroup, systemData.at(DataGroupCount)));
    ui->dataTestNumLabel->setText(counterText(currentScan, systemData.at(DataScanCount)));
    for (int point = 0; point < PointCount; ++point) {
        dataForceLabels[point]->setText(NumberText::force(pointData.at(DataFirstForce + point)));
        dataDistanceLabels[point]->setText(
            NumberText::distance(pointData.at(DataFirstDistance + point)));
    }
    for (int point = 1; point < PointCount; ++point) {
        // The page shows 0 where two points at one distance have no rate.
        const float rate = springRate(pointData.at(DataFirstForce + point - 1),
                                      pointData.at(DataFirstDistance + point - 1),
                                      pointData.at(DataFirstForce + point),
                                      pointData.at(DataFirstDistance + point))
                               .value_or(0.0f);
        rateLabels[point - 1]->setText(NumberText::force(rate));
    }
}

// The counters stay on the last record shown, so that "Pre" and "Pre Group"
// step back from it after paging past the end.
void machineParameter::showNoRecord()
{
    const QString none = counterText(0, 0);
    ui->dataGroupNumEdit->setText(none);
    ui->dataTestNumLabel->setText(none);
    for (QLabel *cell : dataForceLabels)
        cell->setText(NumberText::force(0.0));
    for (QLabel *cell : dataDistanceLabels)
        cell->setText(NumberText::distance(0.0));
    for (QLabel *cell : rateLabels)
        cell->setText(NumberText::force(0.0));
}

// The paging buttons only ask; the counters follow the machine's answer, so
// the page always shows the position the machine reports.
void machineParameter::on_preBtn_clicked()
{
    if (testShown && currentTest > 1)
        emit systemSetRequest(currentTest - 1);
}

void machineParameter::on_nextBtn_clicked()
{
    if (testShown && currentTest < testCount)
        emit systemSetRequest(currentTest + 1);
}

// Until this dialog has shown a record there is nothing to page from; the
// forward buttons then ask for the first record, so that a dialog whose
// first request went unanswered is no dead end.
void machineParameter::requestFirstRecord()
{
    emit systemDataRequest(FirstGroup, FirstScan);
}

void machineParameter::on_dataPreGroupBtn_clicked()
{
    if (recordShown && currentGroup > 1)
        emit systemDataRequest(currentGroup - 1, FirstScan);
}

// No upper bound here: past the last group the machine answers "no record".
void machineParameter::on_dataNextGroupBtn_clicked()
{
    if (!recordShown)
        requestFirstRecord();
    else if (currentGroup < LastCounter)
        emit systemDataRequest(currentGroup + 1, FirstScan);
}

void machineParameter::on_dataPreBtn_clicked()
{
    if (recordShown && currentScan > 1)
        emit systemDataRequest(currentGroup, currentScan - 1);
}

void machineParameter::on_dataNextBtn_clicked()
{
    if (!recordShown)
        requestFirstRecord();
    else if (currentScan < LastCounter)
        emit systemDataRequest(currentGroup, currentScan + 1);
}

// Entering the Data tab shows the first result: always while this dialog has
// shown no record (the memory of an earlier dialog, or a request that went
// unanswered, must not leave the page blank for good), and after that once
// per stored test, when the Setting tab has moved to another test since the
// last refresh.
void machineParameter::on_tabWidget_tabBarClicked(int index)
{
    if (index != DataTabIndex)
        return;
    const bool testChanged = testShown && lastDataTest != currentTest;
    if (recordShown && !testChanged)
        return;
    requestFirstRecord();
    if (testShown)
        lastDataTest = currentTest;
}
