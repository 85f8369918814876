#pragma once
// An XY plot whose legend is drawn after every redraw: one row per visible
// series in a white box at the top right of the plot field, left out entirely
// when the box does not fit.

#include <qcustomplot.h>

namespace qm {

class LegendPlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit LegendPlot(QWidget* parent = nullptr);

    // Adds a series with its legend, line colour and point marks.
    QCPGraph* addSeries(const QString& legend, const QColor& line, QCPScatterStyle marks);
    // Replaces a series' points; the plot redraws once.
    static void setPoints(QCPGraph* g, const QVector<double>& x, const QVector<double>& y);
    // The legend box for the current series and field, or an empty rectangle when
    // it does not fit or no series is visible.
    QRect legendRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int rowHeight() const;
};

// Axis set-up shared by the analysis plots: range 0 .. maximum with a fixed
// number of ticks, labels with at most two decimals ("###0.##").
void SetupAxis(QCPAxis* axis, double maximum, int ticks, const QPen& grid);
void SetAxisMaximum(QCPAxis* axis, double maximum, int ticks);

// The largest of the tick counts 11, 6 and 3 (0.1, 0.2 and 0.5 of the range
// apart) whose labels fit side by side in width pixels with a gap, for labels of
// the given font; at least 2.
int FittingTickCount(double maximum, int width, const QFont& labelFont);

// Text of a number with at most two decimals and no trailing zeros.
QString TwoDecimals(double v);

} // namespace qm
