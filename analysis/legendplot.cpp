#include "analysis/legendplot.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qm {

LegendPlot::LegendPlot(QWidget* parent) : QCustomPlot(parent)
{
    legend->setVisible(false);   // drawn by paintEvent with our own layout
    axisRect()->setBackground(QColor(0xe3, 0xe3, 0xe3));
}

QCPGraph* LegendPlot::addSeries(const QString& legendText, const QColor& line, QCPScatterStyle marks)
{
    QCPGraph* g = addGraph();
    g->setName(legendText);
    g->setPen(QPen(line, 1.2));
    g->setScatterStyle(marks);
    return g;
}

void LegendPlot::setPoints(QCPGraph* g, const QVector<double>& x, const QVector<double>& y)
{
    g->setData(x, y, true);
    g->parentPlot()->replot(QCustomPlot::rpQueuedReplot);
}

int LegendPlot::rowHeight() const
{
    return fontMetrics().height() + 2;
}

QRect LegendPlot::legendRect() const
{
    int active = 0, widest = 0;
    const QFontMetrics fm = fontMetrics();
    for (int i = 0; i < graphCount(); ++i) {
        if (!graph(i)->visible())
            continue;
        ++active;
        widest = std::max(widest, fm.horizontalAdvance(graph(i)->name()));
    }
    if (active == 0)
        return {};
    const int h = rowHeight();
    const int width = widest + h + h / 2 + 8;
    const int height = h * active;
    const QRect field = axisRect()->rect();
    const QRect box(field.right() - 6 - width + 1, field.top() + 6, width, height);
    if (box.left() < field.left() - 2 || box.bottom() > field.bottom() + 2)
        return {};
    return box;
}

void LegendPlot::paintEvent(QPaintEvent* event)
{
    QCustomPlot::paintEvent(event);
    const QRect box = legendRect();
    if (box.isNull())
        return;
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(box);
    const int h = rowHeight();
    const int cell = h + h / 2 + 1;
    int y = box.top() + 1;
    QCPPainter cp(this);
    cp.setFont(font());
    for (int i = 0; i < graphCount(); ++i) {
        QCPGraph* g = graph(i);
        if (!g->visible())
            continue;
        const QRect sample(box.left() + 1, y, cell, h);
        cp.setPen(g->pen());
        cp.drawLine(QPointF(sample.left() + 2, sample.center().y()),
                    QPointF(sample.right() - 2, sample.center().y()));
        if (g->scatterStyle().shape() != QCPScatterStyle::ssNone) {
            g->scatterStyle().applyTo(&cp, g->pen());
            g->scatterStyle().drawShape(&cp, sample.center());
        }
        cp.setPen(Qt::black);
        cp.drawText(QRect(sample.right() + 2, y, box.right() - sample.right() - 2, h),
                    Qt::AlignLeft | Qt::AlignVCenter, g->name());
        y += h;
    }
}

namespace {

class TwoDecimalTicker : public QCPAxisTickerFixed {
protected:
    QString getTickLabel(double tick, const QLocale&, QChar, int) override { return TwoDecimals(tick); }
};

} // namespace

QString TwoDecimals(double v)
{
    const double r = std::nearbyint(v * 100.0) / 100.0;
    return QString::number(r == 0.0 ? 0.0 : r, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

void SetAxisMaximum(QCPAxis* axis, double maximum, int ticks)
{
    axis->setRange(0.0, maximum);
    if (auto fixed = axis->ticker().dynamicCast<QCPAxisTickerFixed>())
        fixed->setTickStep(maximum / (ticks - 1));
}

int FittingTickCount(double maximum, int width, const QFont& labelFont)
{
    const QFontMetrics fm(labelFont);
    for (int ticks : {11, 6, 3}) {
        int widest = 0;
        for (int i = 0; i < ticks; ++i)
            widest = std::max(widest, fm.horizontalAdvance(TwoDecimals(maximum * i / (ticks - 1))));
        // Neighbouring labels are centred one interval apart.
        if ((ticks - 1) * (widest + 8) <= width)
            return ticks;
    }
    return 2;
}

void SetupAxis(QCPAxis* axis, double maximum, int ticks, const QPen& grid)
{
    auto ticker = QSharedPointer<TwoDecimalTicker>::create();
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    axis->setTicker(ticker);
    SetAxisMaximum(axis, maximum, ticks);
    axis->grid()->setPen(grid);
    axis->grid()->setVisible(true);
}

} // namespace qm
