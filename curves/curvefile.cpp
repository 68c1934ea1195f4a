#include "curves/curvefile.h"

#include "numbers/numbertext.h"

#include <QByteArrayMatcher>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace {

// Reads and writes go through blocks of this size, so that a file of a
// million points never needs a QString per line and a 1 MB line costs no
// more than its bytes.
constexpr qint64 BlockSize = 64 * 1024;
const char FileSuffix[] = ".txt";
const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr int Utf8ByteOrderMarkSize = 3;

QByteArray numberText(double value, int decimals)
{
    return NumberText::fixed(value, decimals).toLatin1();
}

// Collects the text and hands it to the device a block at a time; after a
// refused write nothing more is sent.
class BlockWriter
{
public:
    explicit BlockWriter(QIODevice *device)
        : m_device(device)
    {
        m_block.reserve(int(BlockSize) + LongestLine);
    }

    void addLine(const QByteArray &line)
    {
        m_block.append(line).append('\n');
        if (m_block.size() >= BlockSize)
            flush();
    }

    void addPoint(double distance, double force, int decimals)
    {
        m_block.append(numberText(distance, NumberText::DistanceDecimals))
            .append(',')
            .append(numberText(force, decimals))
            .append('\n');
        if (m_block.size() >= BlockSize)
            flush();
    }

    bool finish()
    {
        flush();
        return !m_failed;
    }

private:
    // Room for one point beyond a full block, so that appending never
    // reallocates.
    static constexpr int LongestLine = 1024;

    // A file that hits a full disk takes part of a block without an error;
    // the write of the rest then fails and leaves the system's reason.
    void flush()
    {
        const char *data = m_block.constData();
        qint64 remaining = m_block.size();
        while (!m_failed && remaining > 0) {
            const qint64 written = m_device->write(data, remaining);
            if (written <= 0) {
                m_failed = true;
                break;
            }
            data += written;
            remaining -= written;
        }
        m_block.resize(0);
    }

    QIODevice *m_device;
    QByteArray m_block;
    bool m_failed = false;
};

void addCurve(BlockWriter *writer, const QVector<TestCurves::Point> &curve, int decimals)
{
    for (const TestCurves::Point &point : curve)
        writer->addPoint(point.distance, point.force, decimals);
}

// Sorts complete lines into the two curves.
class CurveLineSorter
{
public:
    explicit CurveLineSorter(TestCurves *curves)
        : m_curves(curves)
        , m_forwardMarker(CurveFile::forwardMarker().toUtf8())
        , m_returnMarker(CurveFile::returnMarker().toUtf8())
    {
    }

    void addLine(const char *begin, const char *end)
    {
        if (m_atFileStart) {
            m_atFileStart = false;
            if (end - begin >= Utf8ByteOrderMarkSize
                && std::memcmp(begin, Utf8ByteOrderMark, Utf8ByteOrderMarkSize) == 0)
                begin += Utf8ByteOrderMarkSize;
        }
        const int size = int(end - begin);
        if (m_forwardMarker.indexIn(begin, size) >= 0) {
            m_current = TestCurves::Forward;
            return;
        }
        if (m_returnMarker.indexIn(begin, size) >= 0) {
            m_current = TestCurves::Return;
            return;
        }
        addPoint(begin, end);
    }

private:
    void addPoint(const char *begin, const char *end)
    {
        const char *firstComma = static_cast<const char *>(std::memchr(begin, ',', size_t(end - begin)));
        const char *xEnd = firstComma ? firstComma : end;
        const char *yBegin = begin;
        for (const char *c = end; c > begin; --c) {
            if (c[-1] == ',') {
                yBegin = c;
                break;
            }
        }
        // Each field as the tester's single-precision value; never NaN or
        // infinity, which the plot must not be handed.
        bool xIsNumber = false;
        bool yIsNumber = false;
        const float x = NumberText::toFloat(begin, xEnd, &xIsNumber);
        const float y = NumberText::toFloat(yBegin, end, &yIsNumber);
        // A blank line or a header such as "distance,force" is no point.
        if (!xIsNumber && !yIsNumber)
            return;
        m_curves->add(m_current, double(x), double(y));
    }

    TestCurves *m_curves;
    QByteArrayMatcher m_forwardMarker;
    QByteArrayMatcher m_returnMarker;
    TestCurves::Stroke m_current = TestCurves::Forward;
    bool m_atFileStart = true;
};

// Text mode would drop every CR, joining lines that end in a lone CR.
class RawReadScope
{
public:
    explicit RawReadScope(QIODevice *device)
        : m_device(device)
        , m_textMode(device->isTextModeEnabled())
    {
        m_device->setTextModeEnabled(false);
    }
    ~RawReadScope() { m_device->setTextModeEnabled(m_textMode); }
    RawReadScope(const RawReadScope &) = delete;
    RawReadScope &operator=(const RawReadScope &) = delete;

private:
    QIODevice *m_device;
    bool m_textMode;
};

} // namespace

QString CurveFile::forwardMarker()
{
    return QCoreApplication::translate("MainWindow", "Data Forward:");
}

QString CurveFile::returnMarker()
{
    return QCoreApplication::translate("MainWindow", "Data Return:");
}

bool CurveFile::write(QIODevice *device, const TestCurves &curves, int decimals)
{
    BlockWriter writer(device);
    writer.addLine(forwardMarker().toUtf8());
    addCurve(&writer, curves.sortedByDistance(TestCurves::Forward), decimals);
    writer.addLine(returnMarker().toUtf8());
    addCurve(&writer, curves.sortedByDistance(TestCurves::Return), decimals);
    return writer.finish();
}

bool CurveFile::save(const QString &path, const TestCurves &curves, int decimals, QString *error)
{
    if (QFileInfo(path).isDir()) {
        if (error)
            *error = tr("It is a folder.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!write(&file, curves, decimals)) {
        if (error) {
            *error = file.error() == QFileDevice::NoError
                         ? tr("The disk took only part of the curves.")
                         : file.errorString();
        }
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

TestCurves CurveFile::read(QIODevice *device, bool *ok)
{
    TestCurves curves;
    if (!device || !device->isReadable()) {
        if (ok)
            *ok = false;
        return curves;
    }

    RawReadScope raw(device);
    CurveLineSorter sorter(&curves);
    QByteArray block(int(BlockSize), Qt::Uninitialized);
    QByteArray partialLine; // the start of a line that runs past its block
    bool readFailed = false;
    for (;;) {
        const qint64 count = device->read(block.data(), BlockSize);
        if (count < 0) {
            readFailed = true;
            break;
        }
        if (count == 0)
            break;
        const char *lineBegin = block.constData();
        const char *blockEnd = lineBegin + count;
        for (const char *c = lineBegin; c < blockEnd; ++c) {
            if (*c != '\n' && *c != '\r')
                continue;
            // CR LF leaves an empty line between CR and LF; the sorter
            // skips empty lines anyway.
            if (partialLine.isEmpty()) {
                sorter.addLine(lineBegin, c);
            } else {
                partialLine.append(lineBegin, int(c - lineBegin));
                sorter.addLine(partialLine.constData(), partialLine.constData() + partialLine.size());
                partialLine.clear();
            }
            lineBegin = c + 1;
        }
        partialLine.append(lineBegin, int(blockEnd - lineBegin));
    }
    if (!partialLine.isEmpty())
        sorter.addLine(partialLine.constData(), partialLine.constData() + partialLine.size());

    if (ok)
        *ok = !readFailed;
    return curves;
}

bool CurveFile::isReadableCurveFile(const QString &path, QString *why)
{
    const QFileInfo info(path);
    QString reason;
    if (path.isEmpty())
        reason = tr("No file was chosen.");
    else if (!info.exists())
        reason = tr("It does not exist.");
    else if (info.isDir())
        reason = tr("It is a folder.");
    else if (!info.isFile())
        reason = tr("It is not a regular file.");
    if (why)
        *why = reason;
    return reason.isEmpty();
}

bool CurveFile::load(const QString &path, TestCurves *curves, QString *error)
{
    if (!isReadableCurveFile(path, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // The path may have been swapped for a device since it was checked.
    if (file.isSequential()) {
        if (error)
            *error = tr("It is not a regular file.");
        return false;
    }
    bool complete = false;
    TestCurves loaded = read(&file, &complete);
    if (!complete) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *curves = std::move(loaded);
    return true;
}

QString CurveFile::withSuffix(const QString &path)
{
    // A folder stays a folder, so that saving to it fails and says so.
    const QFileInfo info(path);
    if (info.fileName().isEmpty() || info.fileName().contains(QLatin1Char('.')) || info.isDir())
        return path;
    return path + QLatin1String(FileSuffix);
}
