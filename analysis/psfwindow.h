#pragma once
// TPSFFORM: the radial PSF profile of the active star picture, scaled so that
// its centre is the Strehl ratio, and the encircled energy, against radius in
// arc-seconds.

#include "analysis/legendplot.h"
#include "imagewin/pictures.h"

#include <QWidget>

namespace qm {

class TPSFFORM : public QWidget {
    Q_OBJECT
public:
    explicit TPSFFORM(QWidget* parent = nullptr);

    // Fills both curves from a profile made at transform size n and resolution
    // (pixels per arc-second).
    void fill(const PsfProfile& profile, const QString& scopeName, int n, double resolution);

    LegendPlot* plot() const { return XYPlotPSF_; }
    QCPGraph* psfLine() const { return PSFLine_; }
    QCPGraph* eeLine() const { return EERLine_; }

signals:
    void captionChanged(const QString& caption);

private:
    LegendPlot* XYPlotPSF_;
    QCPGraph* PSFLine_;
    QCPGraph* EERLine_;
};

} // namespace qm
