#include "bench/linelimit.h"

#include <QLocale>

namespace {
constexpr double MillisecondsPerSecond = 1000.0;
} // namespace

double LineLimit::blockSeconds() const
{
    return transactionSeconds(RequestBytes, ReplyBytes);
}

double LineLimit::pointsPerSecond() const
{
    return PointsPerBlock / blockSeconds();
}

QString LineLimit::framing() const
{
    return QStringLiteral("%1 %2%3%4").arg(baudRate).arg(dataBits).arg(QLatin1Char(parity)).arg(stopBits);
}

QString LineLimit::arithmetic() const
{
    const QLocale english(QLocale::English);
    return QStringLiteral("(%1 + %2) × %3 / %4 s + 2 × %5 ms = %6 ms per %7 points = %8 points/s")
        .arg(RequestBytes)
        .arg(ReplyBytes)
        .arg(bitsPerCharacter())
        .arg(baudRate)
        .arg(english.toString(frameGapSeconds() * MillisecondsPerSecond, 'f', 2))
        .arg(english.toString(blockSeconds() * MillisecondsPerSecond, 'f', 2))
        .arg(PointsPerBlock)
        .arg(english.toString(qRound(pointsPerSecond())));
}
