#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "settings/applocations.h"
#include "app/languageselectdialog.h"
#include "device/modbusthread.h"
#include "numbers/numbertext.h"
#include "dialogs/chartstart.h"
#include "dialogs/curvesettingdialog.h"
#include "dialogs/serialsettingdialog.h"
#include "widgets/widgetfit.h"
#include "widgets/axisfit.h"
#include "mainwindow/commandtexts.h"
#include "mainwindow/historyactions.h"
#include "linkstatus/linkmonitor.h"
#include "linkstatus/linktexts.h"
#include "curves/curvefile.h"
#include "widgets/filedialogs.h"
#include "mainwindow/libraryactions.h"
#include "mainwindow/livereadout.h"
#include "mainwindow/plotautofit.h"
#include "mainwindow/plotexport.h"
#include "mainwindow/startprompt.h"
#include "mainwindow/verificationactions.h"
#include "mainwindow/testsettingslabel.h"
#include "parameters/machineparameter.h"
#include "recording/identitybar.h"
#include "records/testrecorder.h"
#include "results/liveevaluation.h"
#include "results/programchoice.h"
#include "recording/testrecording.h"
#include "session/programtestsetting.h"
#include "session/testrun.h"
#include "session/testsession.h"

#include <QCoreApplication>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTime>


namespace {

constexpr int ForwardGraph = TestCurves::Forward;
constexpr int ReturnGraph = TestCurves::Return;
// The machine type is its force range in N; beyond this it is no type we show.
constexpr int MaxShownMachineType = 5000;
constexpr double InitialDistanceLower = 0;
constexpr double InitialDistanceUpper = 100;
constexpr double InitialForceLower = -300;
constexpr double InitialForceUpper = 500;
// Above the highest limit bar, room for its point's number.
constexpr double MarkerLabelRoomShare = 0.08;
const char ReleaseVersion[] = "1.0.0";

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , worker(new modbusThread)
    , session(new TestSession(worker, DatabaseConfig::current(), this))
    , curvePlot(nullptr)
    , liveEvaluation(nullptr)
    , testSettingsLabel(new TestSettingsLabel(this))
{
    ui->setupUi(this);

    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);

    setUpPlot();
    curvePlot = CurvePlotView(ui->userPlot);
    autoFit = new PlotAutoFit(ui->userPlot);
    // The plot follows the curves until the operator sets the axes.
    autoFit->setEnabled(true);

    // The designer keeps the grid in a fixed-size container; as the central
    // widget's own layout it follows the window. The emptied container is
    // hidden, so that nothing invisible lies over the cells.
    ui->centralWidget->setLayout(ui->gridLayout);
    ui->gridLayoutWidget->hide();

    connect(ui->userPlot, &QCustomPlot::mouseMove, this, &MainWindow::myMouseMoveEvent);

    curveSetting = Curve_Setting();
    ui->statusBar->addPermanentWidget(testSettingsLabel);
    testSettingsLabel->showSetting(curveSetting);

    ui->startBtn->setEnabled(false);
    ui->refreshBtn->setEnabled(false);
    ui->stopBtn->setEnabled(false);

    ui->forceLabel->setText(tr(""));
    ui->distanceLabel->setText(tr(""));

    ui->forwardCheckBox->setChecked(true);
    ui->returnCheckBox->setChecked(true);

    setWindowIcon(QIcon(QStringLiteral(":/images/Torvelin.png")));

    connect(worker, &modbusThread::sendCurrentPointValue, this,
            &MainWindow::receiveCurrentPointValue);
    connect(worker, &modbusThread::sendCurveData, this, &MainWindow::receiveCurveData);

    linkMonitor = new LinkMonitor(ui->statusBar, ui->menuDevice, this);
    connect(worker, &modbusThread::sendLinkReport, this, &MainWindow::receiveLinkReport);
    // The machine is back: the session ends the test as a Stop would (the
    // stop command, the record, the verdict), and the next spring needs
    // only Start.
    connect(session->run(), &TestRun::ended, this, [this] {
        updateStartLock();
        ui->statusBar->showMessage(session->isStopPending()
                                       ? CommandTexts::stopPending(session->lastStopReply())
                                       : tr("The test has ended. Start tests the next spring."));
    });
    connect(session, &TestSession::stopDelivered, this, [this] {
        updateStartLock();
        ui->statusBar->showMessage(CommandTexts::stopDelivered());
    });
    connect(session, &TestSession::testerReplaced, this,
            [this](const TesterIdentity &connected, const TesterIdentity &found, bool testStopped) {
                showDisconnected();
                ui->statusBar->showMessage(
                    CommandTexts::testerReplaced(connected, found, testStopped));
            });
    connect(session, &TestSession::connectionChanged, this, &MainWindow::connectionChanged);
    connect(session, &TestSession::curvesReplaced, this, &MainWindow::showCurves);
    // A rule of the part's control chart broken: said where the operator looks.
    connect(session, &TestSession::processAlarmChanged, this, [this] {
        if (!session->processAlarm().isEmpty())
            ui->statusBar->showMessage(session->processAlarm());
    });
    setUpTestShortcuts();

    recording = new TestRecording(this, session->recorder());
    connect(linkMonitor, &LinkMonitor::statisticsShown, this,
            [this] { linkMonitor->showRecordsLink(TestRecording::linkText()); });

    history = new HistoryActions(this, ui->menuFile, ui->actionExit,
                                       recording->recordsMenu());
    connect(history, &HistoryActions::sendStoredTest, this, &MainWindow::receiveStoredTest);
    connect(recording->recorder(), &TestRecorder::testStored, history,
            &HistoryActions::setRecordedTest);
    connect(ui->refreshBtn, &QPushButton::clicked, history, &HistoryActions::forgetShownTest);
    connect(ui->actionOpen, &QAction::triggered, history, &HistoryActions::forgetShownTest);
    connect(this, &MainWindow::testBegun, history, &HistoryActions::forgetShownTest);

    liveEvaluation = new LiveEvaluation(this, ui->userPlot, ui->verdictBand, session);
    ProgramChoice *programChoice = liveEvaluation->programChoice();
    // A chosen program carries its test settings: no Chart needed.
    connect(session, &TestSession::testSettingChanged, this, &MainWindow::showTestSettings);
    // An aborted test's spring is tested again under its own number.
    connect(session, &TestSession::testEnded, this, [this] {
        if (session->isAborted())
            recording->identityBar()->testAborted();
    });
    connect(programChoice, &ProgramChoice::noProgramChosen, this, [this] { autoFit->clearFrame(); });
    connect(programChoice, &ProgramChoice::systemSetRequest, worker, &modbusThread::getSystemSet);
    connect(worker, &modbusThread::sendSystemSetting, programChoice,
            &ProgramChoice::receiveSystemSetting);
    programChoice->restore();
    library = new LibraryActions(this, programChoice, recording->identityBar());
    // The part left in the bar by the last run chooses its program again.
    library->choose(recording->identityBar()->identity().partNumber);
    verification = new VerificationActions(this, ui->menuDevice, [this] { return session->machineType(); });
    connect(worker, &modbusThread::sendCurrentPointValue, verification,
            &VerificationActions::receiveCurrentPointValue);
    fitReadout();
}

// The readout's values arrive after the window has its size: the labels keep
// room for the widest a machine shows (a five-digit force with the machine's
// decimals, 200.00 mm, the largest type), so that no digit is cut off.
void MainWindow::fitReadout()
{
    WidgetFit::reserve(ui->forceLabel,
                       tr("%1 N").arg(WidgetFit::digits(5, session->forceDecimals())));
    WidgetFit::reserve(ui->distanceLabel,
                       tr("%1 mm").arg(WidgetFit::digits(3, NumberText::DistanceDecimals)));
    WidgetFit::reserve(ui->typeLabel, tr("Type-%1").arg(MaxShownMachineType));
    WidgetFit::fit(this);
}

MainWindow::~MainWindow()
{
    // Closed during a test: the machine is told to stop, and the test ends
    // as Stop ends it, while the identity bar is still there to take an
    // aborted spring's serial number back.
    if (session->isTestOpen())
        session->stopTest();
    worker->stopThread();
    worker->wait();
    // Closing the window during a test stops the machine first; the window
    // is gone by now, so the console is the only place left to say it failed.
    if (!worker->stopBeforeClosing())
        qWarning().noquote() << CommandTexts::closedWithoutStop(worker->getSerialSetting().portName);
    delete ui;
    // The loop has ended; the worker's destructor closes the link.
    delete worker;
}

void MainWindow::setUpPlot()
{
    QCustomPlot *plot = ui->userPlot;
    plot->addGraph();
    plot->graph(ForwardGraph)->setPen(QPen(Qt::blue));
    plot->xAxis->setLabel(tr("Distance (mm)"));
    plot->yAxis->setLabel(tr("Force (N)"));
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->xAxis->setRange(InitialDistanceLower, InitialDistanceUpper);
    plot->yAxis->setRange(InitialForceLower, InitialForceUpper);
    plot->addGraph();
    plot->graph(ReturnGraph)->setPen(QPen(Qt::red));
    plot->graph(ForwardGraph)->setName(tr("Forward"));
    plot->graph(ReturnGraph)->setName(tr("Return"));
    plot->legend->setVisible(true);
    // A curve rises from the origin to the stroke's end: the top left stays
    // free, the top right holds the last test point's limits.
    plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
}

// A foot switch that types a key runs the cycle: F5 starts, Esc stops,
// wherever the focus is in the window, the results panel floated as a
// window of its own included (a tool window keeps its parent's shortcuts).
// They stay the window's, not the application's: a dialog over the window
// keeps Esc for closing itself.
void MainWindow::setUpTestShortcuts()
{
    const QKeySequence start(Qt::Key_F5);
    const QKeySequence stop(Qt::Key_Escape);
    ui->startBtn->setShortcut(start);
    ui->stopBtn->setShortcut(stop);
    ui->startBtn->setToolTip(
        tr("Start the test (%1)").arg(start.toString(QKeySequence::NativeText)));
    ui->stopBtn->setToolTip(tr("Stop the test (%1)").arg(stop.toString(QKeySequence::NativeText)));
}

bool MainWindow::isConnected() const
{
    return session->isConnected();
}

void MainWindow::connectionChanged(bool connected)
{
    ui->actionConnect->setEnabled(!connected);
    ui->actionDisconnect->setEnabled(connected);
}

void MainWindow::on_actionConnect_triggered()
{
    if (!session->connectTester()) {
        // "COM open failed" followed by why.
        ui->statusBar->showMessage(LinkTexts::openFailedMessage(worker->lastOpenFailure()));
        linkMonitor->openFailed(worker->lastOpenFailure());
        return;
    }
    const Serial_Setting_Type setting = worker->getSerialSetting();
    connectionMessage = tr("%1,%2,%3,%4,%5,success")
                            .arg(setting.portName, QString::number(setting.baudRate),
                                 QString::number(setting.dataBits),
                                 QString(QLatin1Char(setting.parity)),
                                 QString::number(setting.stopBits));
    ui->statusBar->showMessage(connectionMessage);
    linkMonitor->connected();

    const int type = session->machineType();
    // A type of 0 (also what a failed read gives) is an empty range, which the
    // plot refuses: the axis keeps its range.
    ui->userPlot->yAxis->setRange(-type, type);
    ui->userPlot->replot();
    if (type >= 1 && type <= MaxShownMachineType)
        ui->typeLabel->setText(tr("Type-%1").arg(type));

    fitReadout();

    liveEvaluation->programChoice()->machineConnected();
    // A program chosen in an earlier run knows its settings: no Chart needed.
    if (session->chosenProgram())
        enableTestButtons();
}

void MainWindow::on_actionDisconnect_triggered()
{
    const bool stopped = session->disconnectTester();
    showDisconnected();
    const QString port = worker->getSerialSetting().portName;
    ui->statusBar->showMessage(stopped ? tr("%1 close").arg(port)
                                       : CommandTexts::closedWithoutStop(port));
}

// The link closed: by Disconnect, or because the port answered as another tester.
void MainWindow::showDisconnected()
{
    updateStartLock();
    linkMonitor->disconnected();
    ui->forceLabel->setEnabled(true);
    ui->distanceLabel->setEnabled(true);
}

// A second start command mid-stroke would send the machine on past the set
// distance, and one while a Stop has not got through would override it:
// Start waits for the end of the test (Stop, Disconnect, the machine back)
// and for the tester to get that Stop.
void MainWindow::updateStartLock()
{
    // Start, Stop and Refresh are enabled together by the first settings
    // accepted while connected; until then Start stays disabled.
    if (ui->stopBtn->isEnabled())
        ui->startBtn->setEnabled(!session->isTestRunning() && !session->isStopPending());
}

void MainWindow::on_actionSetting_triggered()
{
    if (isConnected()) {
        QMessageBox::warning(this, tr("Waring"), tr("Please close the serial port!"),
                             QMessageBox::Ok);
        return;
    }
    auto *dialog = new SerialSettingDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &SerialSettingDialog::sendSerialSetting, worker,
            &modbusThread::receiveSerailSetting);
    dialog->showSetting(worker->getSerialSetting());
    dialog->exec();
}

void MainWindow::on_startBtn_clicked()
{
    const StartGate::Decision gate =
        startGate.check(recording->identityBar()->identity().partNumber, library->chosen(),
                        TestHeader::thisStation(), QDateTime::currentDateTimeUtc());
    if (isConnected() && !StartPrompt::mayStart(this, gate))
        return;
    // Without a link no test runs, and Start stays as it was. Each spring
    // starts on a clean plot, as after Refresh: its curves alone are judged
    // and shown; the previous one's are on record.
    const Curve_Setting setting = session->testSetting(curveSetting);
    if (session->startTest(setting, recording->identityBar()->identity(), library->chosen(),
                           gate.verificationId)) {
        emit testBegun();
        frameProgram(setting);
        updateStartLock();
        // The spring under test has its serial number; the bar may count
        // up for the next one.
        recording->identityBar()->testStarted();
        verification->refresh();
    } else if (isConnected()) {
        // A Start the tester did not take opens no record and uses no
        // serial number.
        updateStartLock();
        ui->statusBar->showMessage(
            CommandTexts::startNotTaken(session->lastStartReply(), session->isStopPending()));
    }
}

void MainWindow::on_stopBtn_clicked()
{
    session->stopTest();
    updateStartLock();
    if (session->isStopPending())
        ui->statusBar->showMessage(CommandTexts::stopPending(session->lastStopReply()));
}

// With a program, the test's whole stroke and every limit are in view from
// the first point on.
void MainWindow::frameProgram(const Curve_Setting &setting)
{
    const std::optional<TestProgram> &program = session->chosenProgram();
    if (!program) {
        autoFit->clearFrame();
        return;
    }
    const std::pair<double, double> forces = ProgramTestSetting::forceSpan(*program);
    const double distance = setting.distance;
    const double labelRoom = (forces.second - forces.first) * MarkerLabelRoomShare;
    autoFit->setFrame(QCPRange(std::min(0.0, distance), std::max(0.0, distance)),
                      QCPRange(forces.first, forces.second + labelRoom));
}

void MainWindow::on_refreshBtn_clicked()
{
    session->clearCurves();
}

void MainWindow::on_axisSetBtn_clicked()
{
    const QCPRange x = ui->userPlot->xAxis->range();
    const QCPRange y = ui->userPlot->yAxis->range();
    AxisSetting setting;
    setting.xMin = x.lower;
    setting.xMax = x.upper;
    setting.yMin = y.lower;
    setting.yMax = y.upper;
    setting.xReversed = ui->userPlot->xAxis->rangeReversed();
    setting.yReversed = ui->userPlot->yAxis->rangeReversed();
    setting.autoFit = autoFit->isEnabled();

    auto *dialog = new curveSettingDialog(this, setting);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &curveSettingDialog::sendAxisSet, this, &MainWindow::receiveAxisSet);
    dialog->exec();
}

void MainWindow::on_actionChart_triggered()
{
    auto *dialog = new chartStart(this);
    connect(dialog, &chartStart::sendCurveSetting, this, &MainWindow::receiveCurveSetting);
    connect(this, &MainWindow::sendCurveSetting, dialog, &chartStart::receiveCurveSetting);
    // The dialog starts from what Start would send.
    emit sendCurveSetting(session->testSetting(curveSetting));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowFlags(Qt::Dialog);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
}

void MainWindow::on_actionabout_triggered()
{
    QMessageBox::about(this, tr("about"), tr("Torvelin Ver %1").arg(QLatin1String(ReleaseVersion)));
}

// Not connected: kept for switching the plot to full screen on a double click.
void MainWindow::myWidgetDoubleClicked(QMouseEvent *event)
{
    Q_UNUSED(event);
    static int clicks = 0;
    if (++clicks % 2 == 1) {
        ui->userPlot->setWindowFlags(Qt::Window);
        ui->userPlot->showFullScreen();
    } else {
        ui->userPlot->setWindowFlags(Qt::Widget);
        ui->userPlot->showNormal();
    }
}

void MainWindow::myMouseMoveEvent(QMouseEvent *event)
{
    const float distance = static_cast<float>(ui->userPlot->xAxis->pixelToCoord(event->pos().x()));
    const float force = static_cast<float>(ui->userPlot->yAxis->pixelToCoord(event->pos().y()));
    ui->statusBar->showMessage(
        tr("%1, %2").arg(NumberText::distance(distance), NumberText::force(force)));
}

void MainWindow::on_forwardCheckBox_clicked()
{
    ui->userPlot->graph(ForwardGraph)->setVisible(ui->forwardCheckBox->isChecked());
    ui->userPlot->replot();
}

void MainWindow::on_returnCheckBox_clicked()
{
    ui->userPlot->graph(ReturnGraph)->setVisible(ui->returnCheckBox->isChecked());
    ui->userPlot->replot();
}

void MainWindow::receiveAxisSet(AxisSetting setting)
{
    // Fitted axes take their ranges from the curves at the replot below.
    autoFit->setEnabled(setting.autoFit);
    if (!setting.autoFit) {
        // setRange ignores an empty range (equal bounds) and sorts the bounds.
        ui->userPlot->xAxis->setRange(setting.xMin, setting.xMax);
        ui->userPlot->yAxis->setRange(setting.yMin, setting.yMax);
    }
    ui->userPlot->xAxis->setRangeReversed(setting.xReversed);
    ui->userPlot->yAxis->setRangeReversed(setting.yReversed);
    ui->userPlot->replot();
}

void MainWindow::receiveCurveSetting(Curve_Setting setting)
{
    curveSetting = setting;
    session->settingAccepted();
    enableTestButtons();
}

// What the next Start sends, in the status bar; a chosen program's settings
// make a test possible without Chart.
void MainWindow::showTestSettings()
{
    testSettingsLabel->showSetting(session->testSetting(curveSetting));
    if (session->chosenProgram())
        enableTestButtons();
}

// Settings accepted, or a program's, while connected make a test possible.
void MainWindow::enableTestButtons()
{
    if (isConnected()) {
        ui->refreshBtn->setEnabled(true);
        ui->stopBtn->setEnabled(true);
        updateStartLock();
    }
}

// Every point of a test passes here, and only here, on its way into the
// curves; what else follows each point hangs on curvePointAdded.
void MainWindow::receiveCurveData(int index, double x, double y)
{
    // A corrupt float from the line, or a stroke that is none, is no point
    // of the curves.
    if (!session->addPoint(index, x, y))
        return;
    curvePlot.append(TestCurves::Stroke(index), x, y);
    if (session->isTestRunning())
        showReading(float(x), float(y));
    emit curvePointAdded(index, x, y);
}

void MainWindow::receiveCurrentPointValue(float distance, float force)
{
    showReading(distance, force);
}

// The live values between tests, the latest curve point during one.
void MainWindow::showReading(float distance, float force)
{
    const float shownForce = truncateReading(force, session->forceDecimals());
    const float shownDistance = truncateDistanceReading(distance, session->forceDecimals());
    ui->forceLabel->setText(tr("%1 N").arg(NumberText::force(shownForce)));
    ui->distanceLabel->setText(tr("%1 mm").arg(NumberText::distance(shownDistance)));
}

void MainWindow::on_actionmachine_parameter_triggered()
{
    auto *dialog = new machineParameter(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(worker, &modbusThread::sendSystemSetting, dialog,
            &machineParameter::receiveSystemSetting);
    connect(dialog, &machineParameter::systemSetRequest, worker, &modbusThread::getSystemSet);
    connect(worker, &modbusThread::sendSystemData, dialog, &machineParameter::receiveSystemData);
    connect(dialog, &machineParameter::systemDataRequest, worker, &modbusThread::getSystemData);
    worker->getSystemSet(1);
    dialog->exec();
}

// The tester stopped or started answering: the status bar says so, and when
// the answers come back during a test, for how long the curve has a gap.
void MainWindow::receiveLinkReport(LinkReport report)
{
    const bool wasAnswering = linkMonitor->answering();
    linkMonitor->receiveLinkReport(report);
    session->linkReport(report);
    if (!isConnected() || wasAnswering == report.answering)
        return;
    // The last reading stays readable, greyed: it is no longer the machine's.
    ui->forceLabel->setEnabled(report.answering);
    ui->distanceLabel->setEnabled(report.answering);
    if (!report.answering)
        ui->statusBar->showMessage(LinkTexts::noAnswer());
    else if (report.lastGapDuringTest)
        ui->statusBar->showMessage(LinkTexts::curveInterrupted(connectionMessage, report.lastGapMs));
    else
        ui->statusBar->showMessage(connectionMessage);
}

void MainWindow::on_actionLanguage_triggered()
{
    auto *dialog = new languageSelectDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}

bool MainWindow::plotHasData() const
{
    return session->hasCurves();
}

void MainWindow::showCurves()
{
    curvePlot.show(session->curves());
    ui->userPlot->replot();
    emit curvesReplaced();
}

void MainWindow::showNoDataMessage()
{
    QMessageBox::information(this, tr("Info"), tr("The graph has no data!"), QMessageBox::Ok);
}

QString MainWindow::dataDirectory()
{
    return AppLocations::dataDirectory();
}

// The file dialogs open where the operator went last in this run.
QString MainWindow::fileFolder()
{
    return lastFileFolder.isEmpty() ? dataDirectory() : lastFileFolder;
}

QString MainWindow::defaultFileName()
{
    QString name;
    name += QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd"));
    name += QLatin1Char('_');
    name += QTime::currentTime().toString(QStringLiteral("hh_mm_ss"));
    return name;
}

void MainWindow::on_actionSave_triggered()
{
    if (!plotHasData()) {
        showNoDataMessage();
        return;
    }
    const QString suggested = fileFolder() + QLatin1Char('/') + defaultFileName();
    const QString chosen =
        FileDialogs::getSaveFileName(this, tr("Save"), suggested, QStringLiteral("*.txt"));
    qDebug() << chosen;
    if (chosen.isEmpty())
        return;
    lastFileFolder = QFileInfo(chosen).absolutePath();

    // The dialog asked about replacing the name as typed, not about the one
    // with the suffix added.
    const QString fileName = CurveFile::withSuffix(chosen);
    if (fileName != chosen && QFileInfo::exists(fileName)
        && QMessageBox::question(this, tr("Save"),
                                 tr("%1 already exists.\nDo you want to replace it?")
                                     .arg(QDir::toNativeSeparators(fileName)))
               != QMessageBox::Yes) {
        return;
    }

    QString failure;
    if (!CurveFile::save(fileName, session->curves(), session->forceDecimals(), &failure)) {
        QMessageBox::warning(this, tr("Save"),
                             tr("The curves could not be saved to %1: %2").arg(fileName, failure));
        return;
    }
    ui->statusBar->showMessage(
        tr("The curves were saved to %1").arg(QDir::toNativeSeparators(fileName)));
}

void MainWindow::on_actionOpen_triggered()
{
    const QString fileName = FileDialogs::getOpenFileName(this, tr("Open"), fileFolder(),
                                                          QStringLiteral("*.txt"));
    if (!fileName.isEmpty())
        lastFileFolder = QFileInfo(fileName).absolutePath();
    // A cancelled dialog (empty name), a folder or a file that cannot be
    // read leaves the curves as they are.
    QString failure;
    TestCurves loaded;
    if (!CurveFile::load(fileName, &loaded, &failure))
        return;
    if (!session->showCurves(loaded)) {
        ui->statusBar->showMessage(testOpenMessage());
        return;
    }
    ui->userPlot->xAxis->setRange(InitialDistanceLower, InitialDistanceUpper - InitialDistanceLower,
                                  Qt::AlignLeft);
    ui->userPlot->replot();
}

void MainWindow::receiveStoredTest(const StoredTest &test)
{
    if (!session->showStoredTest(test)) {
        ui->statusBar->showMessage(testOpenMessage());
        return;
    }
    history->showStoredTest(test);
    AxisFit::fit(ui->userPlot, AxisFit::Items | AxisFit::ZeroForce);
    ui->userPlot->replot();
}

QString MainWindow::testOpenMessage()
{
    return tr("A test is running: its curves stay in view until it ends.");
}

void MainWindow::on_actionExport_triggered()
{
    if (!plotHasData()) {
        showNoDataMessage();
        return;
    }
    const QString suggested = fileFolder() + QLatin1Char('/') + defaultFileName();
    const QString fileName = FileDialogs::getSaveFileName(
        this, tr("Export"), suggested, QStringLiteral("*.jpg;; *.bmp;; *.pdf"));
    qDebug() << fileName;
    if (fileName.isEmpty())
        return;
    lastFileFolder = QFileInfo(fileName).absolutePath();

    // A name without one of the three suffixes, or a failed write, must not
    // look like a picture on disk.
    QString failure;
    if (PlotExport::exportPlot(ui->userPlot, fileName, &failure) != PlotExport::Written) {
        QMessageBox::warning(this, tr("Export"), failure);
        return;
    }
    ui->statusBar->showMessage(
        tr("The plot was exported to %1").arg(QDir::toNativeSeparators(fileName)));
}
