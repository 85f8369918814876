#include "analysis/mtfwindow.h"

#include <QVBoxLayout>

namespace qm {

const std::array<double, 101> PerfectMtf = {
    1, 0.986715, 0.97343, 0.960145, 0.946861, 0.933576, 0.920291, 0.907006, 0.893721, 0.880436,
    0.867151, 0.853867, 0.840582, 0.827297, 0.814012, 0.800727, 0.787582, 0.774437, 0.761292, 0.748147,
    0.735142, 0.722137, 0.709132, 0.696126, 0.683261, 0.670396, 0.65767, 0.644945, 0.632219, 0.619494,
    0.606768, 0.594043, 0.581457, 0.569011, 0.556566, 0.54412, 0.531674, 0.519228, 0.506922, 0.494756,
    0.48259, 0.470564, 0.458677, 0.446791, 0.434904, 0.423158, 0.411411, 0.399804, 0.388197, 0.376591,
    0.365124, 0.353797, 0.342609, 0.331422, 0.320375, 0.309327, 0.29856, 0.287792, 0.277024, 0.266396,
    0.256048, 0.2457, 0.235492, 0.225423, 0.215494, 0.205566, 0.195777, 0.186128, 0.176758, 0.167389,
    0.15816, 0.14907, 0.14026, 0.13159, 0.12306, 0.114809, 0.106559, 0.098448, 0.090757, 0.083065,
    0.075654, 0.068522, 0.06153, 0.054678, 0.048245, 0.042092, 0.036359, 0.030765, 0.025451, 0.020277,
    0.015802, 0.011467, 0.007971, 0.004755, 0.002098, 0, 0, 0, 0, 0, 0};

TMTFForm::TMTFForm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TMTFForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    XYPlot_ = new LegendPlot(this);
    XYPlot_->setObjectName(QStringLiteral("XYPlot"));
    XYPlot_->setToolTip(QStringLiteral("Modulation Transfer Function"));
    XYPlot_->setStatusTip(QStringLiteral("Modulation Transfer Function"));
    layout->addWidget(XYPlot_);
    const QPen grid(QColor(0xc0, 0xc0, 0xc0), 1, Qt::DotLine);
    SetupAxis(XYPlot_->xAxis, 1.0, 11, grid);
    SetupAxis(XYPlot_->yAxis, 1.0, 11, grid);

    const QCPScatterStyle redCircles(QCPScatterStyle::ssCircle, Qt::white, Qt::red, 5);
    MTFPerfect_ = XYPlot_->addSeries(QStringLiteral("Perfect"), Qt::red, QCPScatterStyle::ssNone);
    MTFXline_ = XYPlot_->addSeries(QStringLiteral("Vertical"), Qt::blue, redCircles);
    MTFYline_ = XYPlot_->addSeries(QStringLiteral("Horizontal"), Qt::red, redCircles);
    MTFYline2_ = XYPlot_->addSeries(QStringLiteral("waves"), QColor(0, 160, 0),
                                    QCPScatterStyle(QCPScatterStyle::ssCircle, QColor(0, 160, 0), 5));
    MTFYline3_ = XYPlot_->addSeries(QStringLiteral("Waves"), Qt::blue,
                                    QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::blue, 5));
    MTFYline2_->setVisible(false);
    MTFYline3_->setVisible(false);

    QVector<double> x, y;
    for (int i = 0; i <= 100; ++i) {
        x << i / 93.0;
        y << PerfectMtf[i];
    }
    LegendPlot::setPoints(MTFPerfect_, x, y);
}

QCPGraph* TMTFForm::channelLine(int pass) const
{
    switch (pass) {
    case 0: return MTFYline3_;
    case 1: return MTFYline2_;
    case 2: return MTFYline_;
    default: return nullptr;
    }
}

void TMTFForm::fillChannel(int pass, int wavelength, const MtfCurves& curves)
{
    QCPGraph* line = channelLine(pass);
    if (!line)
        return;
    if (pass == 0)
        MTFXline_->setVisible(false);
    QVector<double> f, c;
    for (std::size_t i = 0; i < curves.frequency.size() && i < curves.curve1.size(); ++i) {
        f << curves.frequency[i];
        c << curves.curve1[i];
    }
    line->setData(f, c, true);
    line->setVisible(true);
    line->setName(QString::number(wavelength) + QStringLiteral("nm"));
    XYPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void TMTFForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Fewer frequency labels where eleven would run together; the plot field is
    // the window less the left axis and the margins.
    const int field = std::max(0, width() - 60);
    SetAxisMaximum(XYPlot_->xAxis, 1.0, FittingTickCount(1.0, field, XYPlot_->xAxis->tickLabelFont()));
    XYPlot_->replot(QCustomPlot::rpQueuedReplot);
}

void TMTFForm::fillStar(const MtfCurves& curves, const QString& scopeName, bool checkUndersampling)
{
    QString caption = QStringLiteral("MTF ") + scopeName;
    if (checkUndersampling && curves.undersampled)
        caption += QStringLiteral(" UNDERSAMPLED");
    setWindowTitle(caption);
    emit captionChanged(caption);
    QVector<double> f, c1, c2;
    for (std::size_t i = 0; i < curves.frequency.size(); ++i) {
        f << curves.frequency[i];
        c1 << curves.curve1[i];
        c2 << curves.curve2[i];
    }
    MTFXline_->setData(f, c1, true);
    MTFYline_->setData(f, c2, true);
    XYPlot_->replot(QCustomPlot::rpQueuedReplot);
}

} // namespace qm
