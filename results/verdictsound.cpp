#include "results/verdictsound.h"

#include "settings/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QSettings>

namespace {

const char SoundKey[] = "Verdict/sound";

std::function<void()> &beeper()
{
    static std::function<void()> beep = [] { QApplication::beep(); };
    return beep;
}

} // namespace

VerdictSound::VerdictSound(QObject *parent)
    : QObject(parent)
    , m_action(new QAction(tr("Sound at the verdict"), this))
{
    m_action->setObjectName(QStringLiteral("actionVerdictSound"));
    m_action->setCheckable(true);
    m_action->setChecked(TorvelinSettings::open().value(QLatin1String(SoundKey), true).toBool());
    connect(m_action, &QAction::toggled, this, [](bool on) {
        TorvelinSettings::open().setValue(QLatin1String(SoundKey), on);
    });
    m_repeat.setInterval(BeepIntervalMs);
    connect(&m_repeat, &QTimer::timeout, this, [this] {
        beeper()();
        if (--m_remaining <= 0)
            m_repeat.stop();
    });
}

bool VerdictSound::isEnabled() const
{
    return m_action->isChecked();
}

void VerdictSound::play(bool passed)
{
    if (!isEnabled())
        return;
    beeper()();
    m_remaining = passed ? 0 : FailBeeps - 1;
    if (m_remaining > 0)
        m_repeat.start();
    else
        m_repeat.stop();
}

void VerdictSound::setBeeper(std::function<void()> replacement)
{
    beeper() = std::move(replacement);
}
