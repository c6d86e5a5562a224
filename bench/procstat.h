#pragma once
// Peak resident memory of the running process, read from /proc.

#include <QByteArray>
#include <QFile>
#include <cstdio>

namespace bench {

// Returns VmHWM of this process in kB, or -1 when /proc does not say.
inline long peakMemoryKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Prints "VmHWM <kB>" on stdout for the launching benchmark to read.
inline void printPeakMemory()
{
    std::printf("VmHWM %ld\n", peakMemoryKb());
    std::fflush(stdout);
}

} // namespace bench
