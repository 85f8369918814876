#pragma once
// The save dialog of pictures: JPEG (the default), BMP, TIFF (written as .TIF)
// or PNG, and FITS data when the window has a data plane; a failure is shown
// with its reason.

#include "engine/simstate.h"

#include <QImage>

#include <functional>
#include <string>

class QWidget;

namespace qm {

// Returns false when the dialog was cancelled or the save failed.
// saveData, when given, writes the window's data plane as FITS under a name.
bool SavePicture(QWidget* parent, const QImage& picture,
                 const std::function<Status(const std::string&)>& saveData = {});

} // namespace qm
