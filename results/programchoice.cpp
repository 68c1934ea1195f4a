#include "results/programchoice.h"

#include "device/machineprogram.h"
#include "settings/applocations.h"
#include "settings/usersettings.h"
#include "evaluation/programfile.h"
#include "widgets/filedialogs.h"
#include "results/programdialog.h"

#include <QAction>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMainWindow>
#include <QMessageBox>
#include <QSettings>

namespace {

const char SourceKey[] = "program/source";
const char PathKey[] = "program/path";
const char NumberKey[] = "program/number";
const char MachineSource[] = "machine";
const char FileSource[] = "file";
const char NoSource[] = "none";
const char LibrarySource[] = "library";
const char FileFilter[] = "*.json";

constexpr int FirstMachineProgram = 1;
constexpr int LastMachineProgram = 65535;

} // namespace

ProgramChoice::ProgramChoice(QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_menu(new QMenu(tr("Program"), window))
{
    m_menu->setObjectName(QStringLiteral("programMenu"));
    auto add = [this](const QString &name, const QString &text, void (ProgramChoice::*slot)()) {
        QAction *action = m_menu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
    };
    add(QStringLiteral("actionMachineProgram"), tr("Machine Program..."),
        &ProgramChoice::chooseMachineProgram);
    add(QStringLiteral("actionProgramFile"), tr("Program File..."), &ProgramChoice::chooseProgramFile);
    m_menu->addSeparator();
    add(QStringLiteral("actionNewProgramFile"), tr("New Program File..."),
        &ProgramChoice::newProgramFile);
    add(QStringLiteral("actionEditProgramFile"), tr("Edit Program File..."),
        &ProgramChoice::editProgramFile);
    m_menu->addSeparator();
    add(QStringLiteral("actionNoProgram"), tr("No Program"), &ProgramChoice::chooseNone);
    if (auto *mainWindow = qobject_cast<QMainWindow *>(window))
        mainWindow->menuBar()->addMenu(m_menu);
}

void ProgramChoice::restore()
{
    QSettings stored = TorvelinSettings::open();
    const QString source = stored.value(QLatin1String(SourceKey)).toString();
    if (source == QLatin1String(FileSource)) {
        // A file that has gone since is no program; the panel says so.
        useProgramFile(stored.value(QLatin1String(PathKey)).toString(), false);
    } else if (source == QLatin1String(MachineSource)) {
        m_pendingMachineProgram = stored.value(QLatin1String(NumberKey)).toInt();
    }
}

void ProgramChoice::machineConnected()
{
    if (m_pendingMachineProgram >= FirstMachineProgram)
        requestMachineProgram(m_pendingMachineProgram, false);
}

void ProgramChoice::useLibraryProgram(const TestProgram &program, const QString &name)
{
    // A remembered machine program read at the next Connect would replace it.
    m_pendingMachineProgram = 0;
    remember(QLatin1String(LibrarySource), QString(), program.number);
    emit programChosen(program, name);
}

void ProgramChoice::receiveSystemSetting(QVector<float> pointSet, QVector<int> systemSet)
{
    // The machine parameter page asks through the same signal; only the
    // answer to our own request chooses a program.
    if (!m_awaitingAnswer)
        return;
    TestProgram program;
    if (!MachineProgram::fromSetting(pointSet, systemSet, &program))
        return;
    m_answered = true;
    m_pendingMachineProgram = 0;
    remember(QLatin1String(MachineSource), QString(), program.number);
    emit programChosen(program, tr("machine program %1").arg(program.number));
}

void ProgramChoice::requestMachineProgram(int number, bool complain)
{
    m_awaitingAnswer = true;
    m_answered = false;
    // The worker answers within the request, in this thread.
    emit systemSetRequest(number);
    m_awaitingAnswer = false;
    if (!m_answered) {
        m_pendingMachineProgram = number;
        if (complain)
            warn(tr("The machine did not send program %1. Connect to the machine and choose it again.")
                 .arg(number));
    }
}

void ProgramChoice::chooseMachineProgram()
{
    bool ok = false;
    const int number = QInputDialog::getInt(m_window, tr("Machine Program"),
                                            tr("Number of the program stored in the machine:"),
                                            qMax(FirstMachineProgram, m_pendingMachineProgram),
                                            FirstMachineProgram, LastMachineProgram, 1, &ok);
    if (ok)
        requestMachineProgram(number, true);
}

void ProgramChoice::chooseProgramFile()
{
    const QString path = FileDialogs::getOpenFileName(m_window, tr("Program File"), programFolder(),
                                                      QLatin1String(FileFilter));
    if (!path.isEmpty())
        useProgramFile(path, true);
}

bool ProgramChoice::useProgramFile(const QString &path, bool complain)
{
    TestProgram program;
    QString failure;
    if (!ProgramFile::load(path, &program, &failure)) {
        if (complain)
            warn(tr("The program file %1 cannot be used: %2").arg(path, failure));
        return false;
    }
    m_pendingMachineProgram = 0;
    remember(QLatin1String(FileSource), path, program.number);
    emit programChosen(program, tr("%1 (number %2)").arg(QFileInfo(path).fileName()).arg(program.number));
    return true;
}

void ProgramChoice::newProgramFile()
{
    editAndSave(TestProgram(), QString());
}

void ProgramChoice::editProgramFile()
{
    const QString path = FileDialogs::getOpenFileName(m_window, tr("Edit Program File"),
                                                      programFolder(), QLatin1String(FileFilter));
    if (path.isEmpty())
        return;
    TestProgram program;
    QString failure;
    if (!ProgramFile::load(path, &program, &failure)) {
        warn(tr("The program file %1 cannot be read: %2").arg(path, failure));
        return;
    }
    editAndSave(program, path);
}

void ProgramChoice::editAndSave(const TestProgram &program, const QString &path)
{
    auto *dialog = new ProgramDialog(program, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &ProgramDialog::sendProgram, this, [this, path](const TestProgram &edited) {
        QString target = path;
        if (target.isEmpty()) {
            target = FileDialogs::getSaveFileName(
                m_window, tr("Save Program File"),
                programFolder() + QStringLiteral("/program-%1.json").arg(edited.number),
                QLatin1String(FileFilter));
        }
        if (target.isEmpty())
            return;
        QString failure;
        if (!ProgramFile::save(target, edited, &failure)) {
            warn(tr("The program file %1 could not be saved: %2").arg(target, failure));
            return;
        }
        useProgramFile(target, true);
    });
    dialog->exec();
}

void ProgramChoice::chooseNone()
{
    m_pendingMachineProgram = 0;
    remember(QLatin1String(NoSource), QString(), 0);
    emit noProgramChosen();
}

void ProgramChoice::remember(const QString &source, const QString &path, int number)
{
    QSettings stored = TorvelinSettings::open();
    stored.setValue(QLatin1String(SourceKey), source);
    stored.setValue(QLatin1String(PathKey), path);
    stored.setValue(QLatin1String(NumberKey), number);
}

void ProgramChoice::warn(const QString &text)
{
    QMessageBox::warning(m_window, tr("Program"), text, QMessageBox::Ok);
}

QString ProgramChoice::programFolder() const
{
    return AppLocations::dataDirectory();
}
