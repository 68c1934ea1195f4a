#include "librarywindow/programlibrarydialog.h"
#include "ui_programlibrarydialog.h"

#include "evaluation/programfile.h"
#include "librarywindow/libraryentrydialog.h"
#include "programlibrary/libraryrules.h"
#include "records/programlibrarystore.h"
#include "records/recordsdatabase.h"
#include "results/programdialog.h"
#include "settings/applocations.h"
#include "widgets/filedialogs.h"
#include "widgets/widgetfit.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>

namespace {

enum Column {
    NumberColumn,
    NameColumn,
    VersionColumn,
    StateColumn,
    PartsColumn,
    CreatedColumn,
    ApprovedColumn,
    RetiredColumn,
    ColumnCount
};
constexpr int IdRole = Qt::UserRole;
const char FileFilter[] = "*.json";
const char ApprovedColour[] = "#008000";
const char RetiredColour[] = "#808080";

QString stamp(const QString &who, const QDateTime &when)
{
    if (!when.isValid())
        return QString();
    const QString time = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return who.isEmpty() ? time : QStringLiteral("%1, %2").arg(who, time);
}

} // namespace

ProgramLibraryDialog::ProgramLibraryDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ProgramLibraryDialog)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Close)->setText(tr("Close"));
    QTableWidget *table = ui->versionsTable;
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("Number"), tr("Name"), tr("Version"), tr("State"),
                                      tr("Part numbers"), tr("Created"), tr("Approved"), tr("Retired")});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    connect(table, &QTableWidget::itemSelectionChanged, this, &ProgramLibraryDialog::updateButtons);
    connect(table, &QTableWidget::itemDoubleClicked, this, [this] { on_editButton_clicked(); });
    refresh();
    WidgetFit::fit(this);
}

ProgramLibraryDialog::~ProgramLibraryDialog()
{
    delete ui;
}

bool ProgramLibraryDialog::refresh()
{
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    m_readable = db.isValid();
    if (m_readable) {
        ProgramLibraryStore store(db);
        m_readable = store.readAll(&m_versions);
        error = store.lastError();
    }
    if (!m_readable) {
        m_versions.clear();
        ui->statusLabel->setText(tr("The program library cannot be read: %1").arg(error));
    } else if (m_versions.isEmpty()) {
        ui->statusLabel->setText(tr("The library holds no program yet. Program files and machine "
                                    "programs judge the tests until a program is approved for a part."));
    } else {
        ui->statusLabel->clear();
    }
    showVersions();
    return m_readable;
}

void ProgramLibraryDialog::showVersions()
{
    QTableWidget *table = ui->versionsTable;
    const qint64 selected = selectedVersion() ? selectedVersion()->id : 0;
    const QSignalBlocker blocker(table);
    table->setRowCount(m_versions.size());
    for (int row = 0; row < m_versions.size(); ++row) {
        const ProgramVersion &v = m_versions.at(row);
        const QStringList texts{QString::number(v.number),
                                v.name,
                                QString::number(v.version),
                                LibraryRules::stateText(v.state),
                                v.parts.join(QStringLiteral(", ")),
                                stamp(v.createdBy, v.createdAt),
                                stamp(v.approvedBy, v.approvedAt),
                                stamp(v.retiredBy, v.retiredAt)};
        for (int column = 0; column < ColumnCount; ++column) {
            auto *item = new QTableWidgetItem(texts.at(column));
            item->setData(IdRole, v.id);
            if (column == NumberColumn || column == VersionColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (v.state == ProgramState::Retired)
                item->setForeground(QColor(RetiredColour));
            else if (column == StateColumn && v.state == ProgramState::Approved)
                item->setForeground(QColor(ApprovedColour));
            table->setItem(row, column, item);
        }
        if (v.id == selected)
            table->selectRow(row);
    }
    WidgetFit::fitColumns(table, {});
    updateButtons();
}

std::optional<ProgramVersion> ProgramLibraryDialog::selectedVersion() const
{
    const QList<QTableWidgetItem *> items = ui->versionsTable->selectedItems();
    if (items.isEmpty())
        return std::nullopt;
    const qint64 id = items.first()->data(IdRole).toLongLong();
    for (const ProgramVersion &v : m_versions) {
        if (v.id == id)
            return v;
    }
    return std::nullopt;
}

void ProgramLibraryDialog::updateButtons()
{
    const std::optional<ProgramVersion> v = selectedVersion();
    ui->newButton->setEnabled(m_readable);
    ui->importButton->setEnabled(m_readable);
    ui->editButton->setEnabled(v.has_value());
    ui->approveButton->setEnabled(v && v->state == ProgramState::Draft);
    ui->retireButton->setEnabled(v && v->state != ProgramState::Retired);
}

void ProgramLibraryDialog::on_newButton_clicked()
{
    TestProgram program;
    QString name;
    QStringList parts;
    if (!askProgram(&program, false)
        || !askEntry(tr("Program %1, a new draft").arg(program.number), &name, &parts))
        return;
    change([&](ProgramLibraryStore &store, qint64 *id) { return store.add(program, name, parts, id); });
}

void ProgramLibraryDialog::on_importButton_clicked()
{
    const QString path = FileDialogs::getOpenFileName(this, tr("Import Program File"),
                                                      AppLocations::dataDirectory(),
                                                      QLatin1String(FileFilter));
    if (path.isEmpty())
        return;
    TestProgram program;
    QString failure;
    if (!ProgramFile::load(path, &program, &failure)) {
        complain(tr("The program file %1 cannot be read: %2").arg(path, failure));
        return;
    }
    QString name = QFileInfo(path).completeBaseName();
    QStringList parts;
    if (!askEntry(tr("Program %1 from %2, a new draft").arg(program.number).arg(QFileInfo(path).fileName()),
                  &name, &parts))
        return;
    change([&](ProgramLibraryStore &store, qint64 *id) { return store.add(program, name, parts, id); });
}

void ProgramLibraryDialog::on_editButton_clicked()
{
    const std::optional<ProgramVersion> v = selectedVersion();
    if (!v)
        return;
    TestProgram program;
    QString failure;
    if (!ProgramLibraryStore::programOf(*v, &program, &failure)) {
        complain(tr("%1 cannot be read: %2").arg(LibraryRules::describe(*v), failure));
        return;
    }
    QString name = v->name;
    QStringList parts = v->parts;
    const QString what = v->state == ProgramState::Draft
                             ? tr("%1, a draft changed in place").arg(LibraryRules::describe(*v))
                             : tr("%1 stays as it is; the change becomes a new draft")
                                   .arg(LibraryRules::describe(*v));
    if (!askProgram(&program, true) || !askEntry(what, &name, &parts))
        return;
    change([&](ProgramLibraryStore &store, qint64 *id) { return store.edit(v->id, program, name, parts, id); });
}

void ProgramLibraryDialog::on_approveButton_clicked()
{
    const std::optional<ProgramVersion> v = selectedVersion();
    if (!v || !confirm(tr("Approve %1 for %2? It judges those parts from the next Start on; the "
                          "version approved before it is retired.")
                           .arg(LibraryRules::describe(*v), v->parts.join(QStringLiteral(", ")))))
        return;
    change([&](ProgramLibraryStore &store, qint64 *id) {
        *id = v->id;
        return store.approve(v->id);
    });
}

void ProgramLibraryDialog::on_retireButton_clicked()
{
    const std::optional<ProgramVersion> v = selectedVersion();
    if (!v || !confirm(tr("Retire %1? It judges no part any more; it stays in the library.")
                           .arg(LibraryRules::describe(*v))))
        return;
    change([&](ProgramLibraryStore &store, qint64 *id) {
        *id = v->id;
        return store.retire(v->id);
    });
}

bool ProgramLibraryDialog::askProgram(TestProgram *program, bool edit)
{
    ProgramDialog editor(*program, this);
    if (edit)
        editor.setWindowTitle(tr("Edit Program in the Library"));
    bool sent = false;
    connect(&editor, &ProgramDialog::sendProgram, this, [&](const TestProgram &edited) {
        *program = edited;
        sent = true;
    });
    editor.exec();
    return sent;
}

bool ProgramLibraryDialog::askEntry(const QString &what, QString *name, QStringList *parts)
{
    LibraryEntryDialog entry(what, *name, *parts, this);
    if (entry.exec() != QDialog::Accepted)
        return false;
    *name = entry.name();
    *parts = entry.parts();
    return true;
}

bool ProgramLibraryDialog::change(const std::function<bool(ProgramLibraryStore &, qint64 *)> &work)
{
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    qint64 id = 0;
    bool done = false;
    if (db.isValid()) {
        ProgramLibraryStore store(db);
        done = work(store, &id);
        error = store.lastError();
    }
    refresh();
    if (!done) {
        complain(error);
        return false;
    }
    for (int row = 0; row < m_versions.size(); ++row) {
        if (m_versions.at(row).id == id)
            ui->versionsTable->selectRow(row);
    }
    emit libraryChanged();
    return true;
}

bool ProgramLibraryDialog::confirm(const QString &question)
{
    return QMessageBox::question(this, tr("Program Library"), question) == QMessageBox::Yes;
}

void ProgramLibraryDialog::complain(const QString &text)
{
    QMessageBox::warning(this, tr("Program Library"), text);
}
