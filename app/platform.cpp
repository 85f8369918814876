#include "app/platform.h"

#include <QFile>
#include <QList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qm {

MemoryFigures ParseMeminfo(const QByteArray& text)
{
    MemoryFigures m;
    unsigned long long swapTotal = 0, swapFree = 0;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        bool ok = false;
        const unsigned long long kb = parts[1].toULongLong(&ok);
        if (!ok)
            continue;
        if (parts[0] == "MemTotal:")
            m.total = kb * 1024;
        else if (parts[0] == "MemAvailable:")
            m.available = kb * 1024;
        else if (parts[0] == "SwapTotal:")
            swapTotal = kb * 1024;
        else if (parts[0] == "SwapFree:")
            swapFree = kb * 1024;
    }
    // Virtual memory: what RAM and swap together can hold.
    m.virtualTotal = m.total + swapTotal;
    m.virtualAvailable = m.available + swapFree;
    return m;
}

MemoryFigures QueryMemory()
{
#ifdef Q_OS_WIN
    MemoryFigures m;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        m.total = status.ullTotalPhys;
        m.available = status.ullAvailPhys;
        m.virtualTotal = status.ullTotalVirtual;
        m.virtualAvailable = status.ullAvailVirtual;
    }
    return m;
#else
    // Files under /proc report a size of zero and an end at once, so they are
    // read line by line until a read returns nothing.
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray text;
    for (int lines = 0; lines < 1000; ++lines) {
        const QByteArray line = f.readLine(4096);
        if (line.isEmpty())
            break;
        text += line;
    }
    return ParseMeminfo(text);
#endif
}

QString MemoryStatusText(const MemoryFigures& m)
{
    return QStringLiteral("TotMem: %1 KBAvailMem: %2 KBVirtMem: %3 MBAvailVirt: %4 MB")
        .arg(m.total / 1024)
        .arg(m.available / 1024)
        .arg(m.virtualTotal / 1048576)
        .arg(m.virtualAvailable / 1048576);
}

} // namespace qm
