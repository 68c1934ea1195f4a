// Fuzz target: any file handed to Open loads without crashing, and only
// finite points come out of it.
#include "mainwindow/curvefile.h"

#include <QBuffer>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    const CurveFile::Curves curves = CurveFile::read(&buffer);
    for (const QVector<QCPGraphData> *curve : {&curves.forward, &curves.back}) {
        for (const QCPGraphData &point : *curve) {
            if (!std::isfinite(point.key) || !std::isfinite(point.value))
                std::abort();
            // Every value went through single precision.
            if (double(float(point.key)) != point.key || double(float(point.value)) != point.value)
                std::abort();
        }
    }
    // What was read writes back and reads again as the same curves.
    QCPGraphDataContainer forward, back;
    forward.add(curves.forward, false);
    back.add(curves.back, false);
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    if (!CurveFile::write(&out, forward, back, 3))
        std::abort();
    out.close();
    out.open(QIODevice::ReadOnly);
    const CurveFile::Curves again = CurveFile::read(&out);
    if (again.forward.size() != curves.forward.size() || again.back.size() != curves.back.size())
        std::abort();
    return 0;
}
