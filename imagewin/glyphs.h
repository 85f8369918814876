#pragma once
// Tool-bar glyphs, drawn by the program itself.

#include <QIcon>
#include <QString>

namespace qm {

// A 24 x 24 glyph for the named command: "star", "chroma", "double", "intra",
// "planet", "slice", "wave", "opd", "mtf", "psf", "monitor", "update", "save",
// "rgbl", "table".
QIcon Glyph(const QString& name);

} // namespace qm
