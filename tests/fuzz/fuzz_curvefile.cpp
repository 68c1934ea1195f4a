// Fuzz target: any file handed to Open loads without crashing, and only
// finite points come out of it.
#include "curves/curvefile.h"

#include <QBuffer>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    const TestCurves curves = CurveFile::read(&buffer);
    for (TestCurves::Stroke stroke : {TestCurves::Forward, TestCurves::Return}) {
        for (const TestCurves::Point &point : curves.points(stroke)) {
            if (!std::isfinite(point.distance) || !std::isfinite(point.force))
                std::abort();
            // Every value went through single precision.
            if (double(float(point.distance)) != point.distance
                || double(float(point.force)) != point.force)
                std::abort();
        }
    }
    // What was read writes back and reads again as the same curves.
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    if (!CurveFile::write(&out, curves, 3))
        std::abort();
    out.close();
    out.open(QIODevice::ReadOnly);
    const TestCurves again = CurveFile::read(&out);
    if (again.size(TestCurves::Forward) != curves.size(TestCurves::Forward)
        || again.size(TestCurves::Return) != curves.size(TestCurves::Return))
        std::abort();
    return 0;
}
