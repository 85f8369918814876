#pragma once
// TMTFForm: the MTF of the active star picture along both grid axes, with the
// stored curve of a perfect unobstructed aperture for reference.

#include "analysis/legendplot.h"
#include "imagewin/pictures.h"

#include <QWidget>

#include <array>

namespace qm {

// The reference curve, plotted at i / 93 for i = 0 .. 100.
extern const std::array<double, 101> PerfectMtf;

class TMTFForm : public QWidget {
    Q_OBJECT
public:
    explicit TMTFForm(QWidget* parent = nullptr);

    // Fills the two axis curves of a star picture; with checkUndersampling the
    // caption warns when the curve is still above 0.05 at its last point.
    void fillStar(const MtfCurves& curves, const QString& scopeName, bool checkUndersampling);
    // One channel of a chromatic picture from measured wavefronts: pass 0 hides
    // "Vertical" and fills the square-marked series, pass 1 the green one, pass 2
    // "Horizontal"; each is shown with the wavelength as its legend.
    void fillChannel(int pass, int wavelength, const MtfCurves& curves);
    QCPGraph* channelLine(int pass) const;

    LegendPlot* plot() const { return XYPlot_; }
    QCPGraph* perfect() const { return MTFPerfect_; }
    QCPGraph* xLine() const { return MTFXline_; }
    QCPGraph* yLine() const { return MTFYline_; }

signals:
    void captionChanged(const QString& caption);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    LegendPlot* XYPlot_;
    QCPGraph* MTFPerfect_;
    QCPGraph* MTFXline_;
    QCPGraph* MTFYline_;
    QCPGraph* MTFYline2_;
    QCPGraph* MTFYline3_;
};

} // namespace qm
