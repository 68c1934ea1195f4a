#include "linkstatus/linkindicator.h"

#include "linkstatus/linktexts.h"

#include <QPainter>
#include <QPixmap>

namespace {
constexpr int DotSize = 12;

QColor colourOf(LinkIndicator::State state)
{
    switch (state) {
    case LinkIndicator::Answering: return QColor(0x2e, 0xa0, 0x43);
    case LinkIndicator::NotAnswering: return QColor(0xd0, 0x30, 0x30);
    case LinkIndicator::Disconnected: break;
    }
    return QColor(0x9a, 0x9a, 0x9a);
}
} // namespace

LinkIndicator::LinkIndicator(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("linkIndicator"));
    showDisconnected();
}

void LinkIndicator::showDisconnected()
{
    setState(Disconnected, LinkTexts::disconnected());
}

void LinkIndicator::showOpenFailed(const QString &reason)
{
    setState(NotAnswering, reason);
}

void LinkIndicator::showReport(const LinkReport &report)
{
    const QString toolTip = LinkTexts::state(report) + QLatin1Char('\n')
                            + LinkTexts::counters(report.counters);
    setState(report.answering ? Answering : NotAnswering, toolTip);
}

void LinkIndicator::setState(State state, const QString &toolTip)
{
    setToolTip(toolTip);
    if (state == m_state && m_drawn)
        return;
    m_state = state;
    m_drawn = true;
    const qreal ratio = devicePixelRatioF();
    QPixmap dot(QSize(DotSize, DotSize) * ratio);
    dot.setDevicePixelRatio(ratio);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colourOf(state));
    painter.drawEllipse(QRectF(1, 1, DotSize - 2, DotSize - 2));
    painter.end();
    setPixmap(dot);
}
