#include "dfqreader.h"

#include <QRegularExpression>
#include <QTextCodec>

bool readDfq(const QByteArray &bytes, DfqFile *file, QString *error)
{
    static const QByteArray Bom("\xEF\xBB\xBF");
    const bool utf8 = bytes.startsWith(Bom);
    const QString text = QTextCodec::codecForName(utf8 ? "UTF-8" : "Windows-1252")
                             ->toUnicode(utf8 ? bytes.mid(Bom.size()) : bytes);
    if (!text.isEmpty() && !text.endsWith(QLatin1String("\r\n"))) {
        *error = QStringLiteral("the last line does not end in CR LF");
        return false;
    }
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    static const QRegularExpression Field(QStringLiteral("^(K\\d{4})(?:/(\\d+))? (.*)$"));
    *file = DfqFile();
    for (int n = 0; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        const QRegularExpressionMatch match = Field.match(line);
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))
            || !match.hasMatch()) {
            *error = QStringLiteral("line %1 is no K field: %2").arg(n + 1).arg(line);
            return false;
        }
        const QString key = match.captured(1);
        const int index = match.captured(2).toInt();
        const QString value = match.captured(3);
        if (!index) {
            file->partFields.insert(key, value);
        } else if (key.startsWith(QLatin1String("K2"))) {
            file->characteristics[index].insert(key, value);
        } else if (key == QLatin1String("K0001")) {
            file->values[index].append({{key, value}});
        } else if (file->values.value(index).isEmpty()) {
            *error = QStringLiteral("line %1: %2 before a value").arg(n + 1).arg(key);
            return false;
        } else {
            file->values[index].last().insert(key, value);
        }
    }
    return true;
}
