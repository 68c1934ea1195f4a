#include "recording/identitybar.h"

#include "settings/usersettings.h"
#include "records/serialnumber.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

namespace {
const char Group[] = "Identity";
constexpr int FieldWidth = 88;
constexpr int MaxFieldLength = 100;
} // namespace

IdentityBar::IdentityBar(QWidget *parent)
    : QToolBar(tr("Test identity"), parent)
{
    setObjectName(QStringLiteral("identityBar"));
    m_operator = addField(tr("Operator"), "operatorEdit", QStringLiteral("operator"));
    m_partNumber = addField(tr("Part number"), "partNumberEdit", QStringLiteral("partNumber"));
    m_program = new QLabel(this);
    m_program->setObjectName(QStringLiteral("partProgramLabel"));
    m_program->setContentsMargins(2, 0, 4, 0);
    // A widget in a tool bar shows and hides through its action.
    m_programAction = addWidget(m_program);
    m_programAction->setVisible(false);
    m_enteredPart = m_partNumber->text().trimmed();
    connect(m_partNumber, &QLineEdit::returnPressed, this, [this] {
        m_enteredPart = m_partNumber->text().trimmed();
        emit partNumberEntered(m_enteredPart);
    });
    // Enter has already counted when leaving follows it.
    connect(m_partNumber, &QLineEdit::editingFinished, this, [this] {
        const QString part = m_partNumber->text().trimmed();
        if (part == m_enteredPart)
            return;
        m_enteredPart = part;
        emit partNumberEntered(part);
    });
    m_batch = addField(tr("Batch"), "batchEdit", QStringLiteral("batch"));
    m_serialNumber = addField(tr("Serial number"), "serialNumberEdit", QStringLiteral("serialNumber"));
    m_countUp = new QCheckBox(tr("Count up"), this);
    m_countUp->setObjectName(QStringLiteral("countUpCheckBox"));
    m_countUp->setToolTip(tr("After each Start the serial number counts up by one; a test stopped "
                             "before the machine returned gives its number back."));
    QSettings settings = TorvelinSettings::open();
    m_countUp->setChecked(settings.value(QStringLiteral("%1/countUp").arg(QLatin1String(Group)), true).toBool());
    addWidget(m_countUp);
    connect(m_countUp, &QCheckBox::toggled, this, [this] { remember(); });
}

QLineEdit *IdentityBar::addField(const QString &label, const char *objectName, const QString &key)
{
    auto *caption = new QLabel(label, this);
    caption->setContentsMargins(4, 0, 2, 0);
    addWidget(caption);
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(objectName));
    edit->setMaxLength(MaxFieldLength);
    edit->setFixedWidth(FieldWidth);
    QSettings settings = TorvelinSettings::open();
    edit->setText(settings.value(QStringLiteral("%1/%2").arg(QLatin1String(Group), key)).toString());
    caption->setBuddy(edit);
    addWidget(edit);
    connect(edit, &QLineEdit::editingFinished, this, [this] { remember(); });
    return edit;
}

TestIdentity IdentityBar::identity() const
{
    return {m_operator->text().trimmed(), m_partNumber->text().trimmed(), m_batch->text().trimmed(),
            m_serialNumber->text().trimmed()};
}

void IdentityBar::testStarted()
{
    m_testedSerial = m_serialNumber->text();
    if (m_countUp->isChecked())
        m_serialNumber->setText(SerialNumber::next(m_serialNumber->text().trimmed()));
    m_countedSerial = m_serialNumber->text();
    remember();
}

void IdentityBar::testAborted()
{
    if (m_serialNumber->text() != m_countedSerial)
        return;
    m_serialNumber->setText(m_testedSerial);
    remember();
}

void IdentityBar::showProgram(const QString &text)
{
    m_program->setText(text);
    m_programAction->setVisible(!text.isEmpty());
}

void IdentityBar::remember() const
{
    QSettings settings = TorvelinSettings::open();
    settings.beginGroup(QLatin1String(Group));
    settings.setValue(QStringLiteral("operator"), m_operator->text());
    settings.setValue(QStringLiteral("partNumber"), m_partNumber->text());
    settings.setValue(QStringLiteral("batch"), m_batch->text());
    settings.setValue(QStringLiteral("serialNumber"), m_serialNumber->text());
    settings.setValue(QStringLiteral("countUp"), m_countUp->isChecked());
}
