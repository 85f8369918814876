#pragma once
// A small bold pixel font of our own for the figures and labels drawn into
// pictures (scales, axes), so a picture is the same on every machine and needs
// no font system: the command-line renderer draws without a display.

#include <functional>
#include <string>

namespace qm {

// Height of a line of text in pixels.
inline constexpr int kPixelTextHeight = 7;

// Calls plot(x, y) for every pixel of text drawn with its top-left at (x, y),
// each stroke two pixels wide. Characters without a glyph are skipped.
void DrawPixelText(const std::string& text, int x, int y, const std::function<void(int, int)>& plot);

// Width in pixels that DrawPixelText covers for text.
int PixelTextWidth(const std::string& text);

} // namespace qm
