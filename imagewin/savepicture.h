#pragma once
// The save dialog of pictures: JPEG (the default), BMP, TIFF (written as .TIF)
// or PNG; a failure is shown with its reason.

#include <QImage>

class QWidget;

namespace qm {

// Returns false when the dialog was cancelled or the save failed.
bool SavePicture(QWidget* parent, const QImage& picture);

} // namespace qm
