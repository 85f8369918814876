#include "imagewin/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <cmath>

namespace qm {

namespace {

void starBlob(QPainter& p, QPointF c, double r, QColor colour)
{
    QRadialGradient g(c, r);
    g.setColorAt(0, Qt::white);
    g.setColorAt(0.35, colour);
    g.setColorAt(1, Qt::transparent);
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, r, r);
}

} // namespace

QIcon Glyph(const QString& name)
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen ink(QColor(30, 30, 60), 1.6);
    if (name == "star") {
        starBlob(p, {12, 12}, 10, QColor(255, 230, 120));
        p.setPen(QPen(QColor(255, 200, 60), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 7, 7);
    } else if (name == "chroma") {
        starBlob(p, {9, 12}, 8, QColor(80, 120, 255));
        starBlob(p, {12, 12}, 8, QColor(80, 220, 80));
        starBlob(p, {15, 12}, 8, QColor(255, 80, 80));
    } else if (name == "double") {
        starBlob(p, {8, 14}, 7, QColor(255, 220, 120));
        starBlob(p, {17, 8}, 5, QColor(140, 180, 255));
    } else if (name == "intra") {
        p.setPen(QPen(QColor(220, 220, 240), 2));
        p.setBrush(QColor(60, 60, 80));
        p.drawEllipse(QPointF(7, 12), 5.5, 5.5);
        p.drawEllipse(QPointF(17, 12), 5.5, 5.5);
        p.setBrush(QColor(220, 220, 240));
        p.drawEllipse(QPointF(7, 12), 1.5, 1.5);
        p.drawEllipse(QPointF(17, 12), 1.5, 1.5);
    } else if (name == "planet") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 160, 90));
        p.drawEllipse(QPointF(12, 12), 7, 7);
        p.setPen(QPen(QColor(120, 80, 40), 1.2));
        p.drawLine(QPointF(6, 10), QPointF(18, 10));
        p.drawLine(QPointF(5.5, 14), QPointF(18.5, 14));
    } else if (name == "slice") {
        QPainterPath cone;
        cone.moveTo(2, 4);
        cone.lineTo(12, 12);
        cone.lineTo(2, 20);
        cone.moveTo(22, 4);
        cone.lineTo(12, 12);
        cone.lineTo(22, 20);
        p.setPen(ink);
        p.drawPath(cone);
    } else if (name == "wave") {
        QPainterPath w;
        w.moveTo(2, 12);
        for (int x = 2; x <= 22; ++x)
            w.lineTo(x, 12 - 6 * std::sin((x - 2) * 0.6));
        p.setPen(QPen(QColor(40, 90, 200), 2));
        p.drawPath(w);
    } else if (name == "opd") {
        p.setPen(ink);
        p.setBrush(QColor(240, 240, 255));
        p.drawRect(QRectF(4, 3, 14, 18));
        for (int y = 7; y <= 17; y += 4)
            p.drawLine(QPointF(7, y), QPointF(15, y));
    } else if (name == "mtf") {
        p.setPen(ink);
        p.drawLine(QPointF(3, 3), QPointF(3, 21));
        p.drawLine(QPointF(3, 21), QPointF(21, 21));
        p.setPen(QPen(QColor(200, 40, 40), 2));
        p.drawLine(QPointF(3, 5), QPointF(19, 20));
    } else if (name == "psf") {
        p.setPen(ink);
        p.drawLine(QPointF(3, 21), QPointF(21, 21));
        QPainterPath c;
        c.moveTo(3, 20);
        for (int x = 3; x <= 21; ++x) {
            const double u = (x - 12) / 3.0;
            c.lineTo(x, 20 - 16 * std::exp(-u * u));
        }
        p.setPen(QPen(QColor(200, 40, 40), 2));
        p.drawPath(c);
    } else if (name == "monitor") {
        p.setPen(ink);
        p.setBrush(QColor(200, 220, 255));
        p.drawRect(QRectF(3, 4, 18, 12));
        p.drawLine(QPointF(12, 16), QPointF(12, 20));
        p.drawLine(QPointF(7, 20), QPointF(17, 20));
    } else if (name == "update") {
        p.setPen(QPen(QColor(30, 130, 30), 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 16, 16), 30 * 16, 300 * 16);
        p.setBrush(QColor(30, 130, 30));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(19, 2), QPointF(21, 10), QPointF(13, 8)}));
    } else if (name == "save") {
        p.setPen(ink);
        p.setBrush(QColor(90, 110, 180));
        p.drawRect(QRectF(3, 3, 18, 18));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3, 10, 7));
    } else if (name == "rgbl") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 50, 50));
        p.drawRect(QRectF(3, 8, 4, 13));
        p.setBrush(QColor(50, 180, 50));
        p.drawRect(QRectF(8, 5, 4, 16));
        p.setBrush(QColor(50, 80, 230));
        p.drawRect(QRectF(13, 10, 4, 11));
        p.setBrush(QColor(120, 120, 120));
        p.drawRect(QRectF(18, 3, 4, 18));
    } else {   // "table" and anything else
        p.setPen(ink);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 4, 18, 16));
        p.drawLine(QPointF(3, 9), QPointF(21, 9));
        p.drawLine(QPointF(10, 4), QPointF(10, 20));
    }
    p.end();
    return QIcon(pm);
}

} // namespace qm
