#include "analysis/psfwindow.h"

#include "engine/nint.h"

#include <QVBoxLayout>

namespace qm {

TPSFFORM::TPSFFORM(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TPSFFORM"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("PSFFORM"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    XYPlotPSF_ = new LegendPlot(this);
    XYPlotPSF_->setObjectName(QStringLiteral("XYPlotPSF"));
    layout->addWidget(XYPlotPSF_);
    const QPen grid(Qt::gray, 1, Qt::SolidLine);
    SetupAxis(XYPlotPSF_->xAxis, 1.0, 6, grid);
    SetupAxis(XYPlotPSF_->yAxis, 1.0, 6, grid);
    const QCPScatterStyle blueCircles(QCPScatterStyle::ssCircle, Qt::white, Qt::blue, 5);
    PSFLine_ = XYPlotPSF_->addSeries(QStringLiteral("PSF"), Qt::red, blueCircles);
    EERLine_ = XYPlotPSF_->addSeries(QStringLiteral("EE"), QColor(0, 160, 0), blueCircles);
}

void TPSFFORM::fill(const PsfProfile& profile, const QString& scopeName, int n, double resolution)
{
    const QString caption = QStringLiteral("PSF ") + scopeName;
    setWindowTitle(caption);
    emit captionChanged(caption);
    PSFLine_->setName(QStringLiteral("PSF ") + TwoDecimals(Nint(profile.strehl * 100.0) * 0.01));
    if (resolution > 0.0)
        SetAxisMaximum(XYPlotPSF_->xAxis, (n / 8) / resolution, 6);
    QVector<double> r, psf, ee;
    for (std::size_t i = 0; i < profile.psf.size(); ++i) {
        r << profile.radiusArcsec[i];
        psf << profile.psf[i];
        ee << profile.encircled[i];
    }
    PSFLine_->setData(r, psf, true);
    EERLine_->setData(r, ee, true);
    XYPlotPSF_->replot(QCustomPlot::rpQueuedReplot);
}

} // namespace qm
