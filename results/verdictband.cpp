#include "results/verdictband.h"

#include "results/resultsdock.h"

namespace {
const QColor NeutralBackground(0xe0, 0xe0, 0xe0);
const QColor NeutralText(0x30, 0x30, 0x30);
} // namespace

VerdictBand::VerdictBand(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("verdictBand"));
    setAutoFillBackground(true);
    setAlignment(Qt::AlignCenter);
    setMinimumHeight(MinimumHeight);
    // As wide as the plot, whatever its text: the text fits the band.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    QFont big = font();
    m_smallestPointSize = big.pointSizeF() * SmallestFontScale;
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * FontScale);
    setFont(big);
    m_largest = big;
    showState(State::Hidden);
}

void VerdictBand::showState(State state, const QString &serialNumber)
{
    m_state = state;
    setVisible(state != State::Hidden);
    QString word;
    QColor background = NeutralBackground;
    QColor text = NeutralText;
    switch (state) {
    case State::Hidden:
    case State::Ready:
        word = tr("Ready");
        break;
    case State::Testing:
        word = tr("Testing…");
        break;
    case State::Aborted:
        word = tr("ABORTED");
        break;
    case State::Pass:
    case State::Fail:
        word = state == State::Pass ? tr("PASS") : tr("FAIL");
        background = ResultsDock::verdictColour(state == State::Pass ? PointVerdict::Pass
                                                                     : PointVerdict::Fail);
        text = Qt::white;
        break;
    }
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, text);
    setPalette(colours);
    m_text = serialNumber.isEmpty() || state == State::Ready
                 ? word
                 : tr("%1 · %2").arg(word, serialNumber);
    fitText();
}

void VerdictBand::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitText();
}

void VerdictBand::fitText()
{
    const int room = contentsRect().width() - 2 * margin() - 2 * fontMetrics().averageCharWidth();
    QFont fitted = m_largest;
    while (fitted.pointSizeF() > m_smallestPointSize
           && QFontMetrics(fitted).horizontalAdvance(m_text) > room)
        fitted.setPointSizeF(std::max(m_smallestPointSize, fitted.pointSizeF() - 1));
    if (fitted != font())
        setFont(fitted);
    setText(QFontMetrics(fitted).elidedText(m_text, Qt::ElideMiddle, std::max(room, 0)));
}
