#pragma once
// What the program asks of the operating system beyond Qt: the memory figures
// of the status bar.

#include <QByteArray>
#include <QString>

namespace qm {

// Total and available physical and virtual memory, in bytes.
struct MemoryFigures {
    unsigned long long total = 0, available = 0, virtualTotal = 0, virtualAvailable = 0;
};

// The figures of a /proc/meminfo text: MemTotal, MemAvailable, and RAM plus
// swap as the virtual figures. Lines it does not know are skipped.
MemoryFigures ParseMeminfo(const QByteArray& text);

// This machine's figures (the native call on Windows, /proc/meminfo elsewhere);
// zeros when they cannot be read.
MemoryFigures QueryMemory();

// "TotMem: ... KB" and the other memory figures of the status bar, joined
// without separators.
QString MemoryStatusText(const MemoryFigures& m);

} // namespace qm
