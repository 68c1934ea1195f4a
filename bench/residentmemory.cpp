#include "bench/residentmemory.h"

#include <QFile>
#include <QList>

#include <malloc.h>
#include <unistd.h>

qint64 ResidentMemory::bytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    // Fields: size resident shared text lib data dt, in pages.
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

void ResidentMemory::releaseFreeMemory()
{
    malloc_trim(0);
}
