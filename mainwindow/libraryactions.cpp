#include "mainwindow/libraryactions.h"

#include "librarywindow/programlibrarydialog.h"
#include "programlibrary/libraryrules.h"
#include "recording/identitybar.h"
#include "records/programlibrarystore.h"
#include "results/programchoice.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

LibraryActions::LibraryActions(QWidget *window, ProgramChoice *choice, IdentityBar *bar)
    : QObject(window)
    , m_window(window)
    , m_choice(choice)
    , m_bar(bar)
{
    choice->menu()->addSeparator();
    QAction *library = choice->menu()->addAction(tr("Library..."));
    library->setObjectName(QStringLiteral("actionProgramLibrary"));
    connect(library, &QAction::triggered, this, &LibraryActions::showLibrary);
    connect(bar, &IdentityBar::partNumberEntered, this, &LibraryActions::choose);
    connect(choice, &ProgramChoice::programChosen, this, &LibraryActions::chosenElsewhere);
    connect(choice, &ProgramChoice::noProgramChosen, this, &LibraryActions::chosenElsewhere);
}

void LibraryActions::choose(const QString &part)
{
    QString error;
    const std::optional<ProgramVersion> approved = m_gate.approvedFor(part, &error);
    if (!approved) {
        // A part the library has no approved program for keeps what the
        // operator chose; Start says what it needs, if anything.
        // No box: this runs at start-up too, and Start's gate says it again.
        if (!error.isEmpty())
            showStatus(tr("The program library cannot be read: %1").arg(error));
        if (m_chosen.fromLibrary())
            m_bar->showProgram(QString());
        return;
    }
    TestProgram program;
    if (!ProgramLibraryStore::programOf(*approved, &program, &error)) {
        QMessageBox::warning(m_window, tr("Program library"),
                             tr("The library's %1 cannot be used: %2")
                                 .arg(LibraryRules::describe(*approved), error));
        return;
    }
    const QString name = LibraryRules::describe(*approved);
    m_choosing = true;
    m_choice->useLibraryProgram(program, name);
    m_choosing = false;
    m_chosen = {approved->id, approved->number, approved->version};
    m_bar->showProgram(name);
    showStatus(tr("Part %1 is judged by %2.").arg(LibraryRules::normalisedPart(part), name));
}

void LibraryActions::showStatus(const QString &text)
{
    if (auto *window = qobject_cast<QMainWindow *>(m_window))
        window->statusBar()->showMessage(text);
}

void LibraryActions::chosenElsewhere()
{
    if (m_choosing)
        return;
    m_chosen = LibraryChoice();
    m_bar->showProgram(QString());
}

void LibraryActions::showLibrary()
{
    auto *dialog = new ProgramLibraryDialog(m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // An approval or a retirement may change what judges the part in the bar.
    connect(dialog, &ProgramLibraryDialog::libraryChanged, this,
            [this] { choose(m_bar->identity().partNumber); });
    dialog->exec();
}
