#include "analysis/wave3d.h"

#include "engine/nint.h"
#include "imagewin/pixelfont.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace qm {

namespace {

constexpr double kSpan = 0.95;
constexpr double kStep = kSpan / 128.0;

double gridCoordinate(int i)
{
    return (i - 128) / 128.0 * kSpan;
}

struct Vec {
    double x, y, z;
};

double dot(Vec a, Vec b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The camera: where it looks from and the screen's axes.
class Camera {
public:
    Camera(const Wave3dView& view, QSize size)
    {
        const double az = view.zRotation * std::numbers::pi / 180.0;
        const double el = view.yRotation * std::numbers::pi / 180.0;
        dir_ = {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
        right_ = {-std::sin(az), std::cos(az), 0.0};
        up_ = {-std::sin(el) * std::cos(az), -std::sin(el) * std::sin(az), std::cos(el)};
        // The box's corners lie within 0.866 of its centre; the camera stays outside.
        distance_ = 0.9 + std::max(0.0, view.distance);
        const double limb = 0.866 / std::sqrt(distance_ * distance_ - 0.75);
        scale_ = 0.38 * std::min(size.width(), size.height()) / limb;
        centre_ = QPointF(size.width() / 2.0, size.height() / 2.0);
    }
    double depth(Vec p) const { return distance_ - dot(p, dir_); }
    QPointF project(Vec p) const
    {
        const double d = depth(p);
        return centre_ + QPointF(dot(p, right_) / d * scale_, -dot(p, up_) / d * scale_);
    }
    Vec dir() const { return dir_; }

private:
    Vec dir_{}, right_{}, up_{};
    double distance_ = 0.0, scale_ = 1.0;
    QPointF centre_;
};

std::string tickText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", std::fabs(v) < 5e-3 ? 0.0 : v);
    std::string t = buf;
    while (t.back() == '0')
        t.pop_back();
    if (t.back() == '.')
        t.pop_back();
    return t;
}

void drawText(QImage& image, QPointF at, const std::string& text, QRgb colour)
{
    const int x = NintI(at.x() - PixelTextWidth(text) / 2.0), y = NintI(at.y() - kPixelTextHeight / 2.0);
    DrawPixelText(text, x, y, [&](int px, int py) {
        if (px >= 0 && py >= 0 && px < image.width() && py < image.height())
            reinterpret_cast<QRgb*>(image.scanLine(py))[px] = colour;
    });
}

// One axis along a box edge from a to b (unit-box coordinates) with 4 ticks
// labelled from first to last, the figures and the name on the side away from
// the box; an upright axis has its name above its top.
void drawAxis(QPainter& painter, QImage& image, const Camera& cam, Vec a, Vec b, double first, double last,
              const std::string& name, QPointF boxCentre, bool upright)
{
    const QRgb red = 0xffff0000u;
    const QPointF pa = cam.project(a), pb = cam.project(b);
    QPointF u = pb - pa;
    const double len = std::hypot(u.x(), u.y());
    u = len > 0.0 ? u / len : QPointF(1.0, 0.0);
    QPointF n(-u.y(), u.x());
    if (QPointF::dotProduct(n, (pa + pb) / 2.0 - boxCentre) < 0.0)
        n = -n;
    auto offset = [&](const std::string& text, double gap) {
        // Far enough along n that the text's box clears the axis.
        return n * (gap + std::fabs(n.x()) * PixelTextWidth(text) / 2.0 + std::fabs(n.y()) * kPixelTextHeight / 2.0);
    };
    for (int k = 0; k < 4; ++k) {
        const double t = k / 3.0;
        const QPointF at = pa + (pb - pa) * t;
        painter.drawLine(at, at + n * 5.0);
        const std::string figure = tickText(first + (last - first) * t);
        drawText(image, at + offset(figure, 8.0), figure, red);
    }
    if (upright)
        drawText(image, pb + QPointF(0.0, -12.0), name, red);
    else
        drawText(image, (pa + pb) / 2.0 + offset(name, 30.0), name, red);
}

} // namespace

int CartesianIndexOf(double coordinate)
{
    // "Within one step" allows for the rounding of the coordinates: -0.95 lies
    // one step from node 1 and must not run on to the far edge.
    const double within = kStep * (1.0 + 1e-9);
    int i = 1;
    while (i < kCartesianSide - 1 && std::fabs(gridCoordinate(i) - coordinate) > within)
        ++i;
    if (std::fabs(gridCoordinate(i) - coordinate) > within) {
        // Beyond the grid: the nearest node.
        i = coordinate < 0.0 ? 1 : kCartesianSide - 1;
    }
    while (i < kCartesianSide - 1 &&
           std::fabs(gridCoordinate(i + 1) - coordinate) < std::fabs(gridCoordinate(i) - coordinate))
        ++i;
    return i;
}

Wave3dSurface BuildWave3dSurface(SimState& s)
{
    Wave3dSurface surface;
    // 1.
    surface.zOrigin = s.WaveValley - 0.15;
    double zw = (s.WavePeak - s.WaveValley) + 0.3;
    if (zw == 0.0)
        zw = 1.0;
    surface.zWidth = zw;
    surface.zScale = 1.0 / zw;
    // 2.
    if (s.PupilRadius == 0)
        s.PupilRadius = 10;
    // 3. Both axes mirrored through the centre, as the wave map is.
    const int half = s.FftSize / 2;
    const double R = s.PupilRadius;
    std::vector<double> gridZ(std::size_t(kCartesianSide) * kCartesianSide);
    for (int i = 0; i < kCartesianSide; ++i)
        for (int j = 0; j < kCartesianSide; ++j) {
            const int a = std::clamp(NintI(half - 1 - R * gridCoordinate(i)), 0, kPlaneSide - 1);
            const int b = std::clamp(NintI(half - 1 - R * gridCoordinate(j)), 0, kPlaneSide - 1);
            gridZ[std::size_t(i) * kCartesianSide + j] = s.WaveMap.at(a, b);
        }
    // 4, 5. Only every fourth ring and spoke of the polar mesh is shown.
    surface.nodes.resize(std::size_t(kSurfaceRings) * kSurfaceSpokes);
    for (int p = 0; p < kSurfaceRings; ++p)
        for (int q = 0; q < kSurfaceSpokes; ++q) {
            const double rho = kSpan * (4 * p) / 124.0;
            const double theta = 2.0 * std::numbers::pi * (4 * q) / 504.0;
            MeshNode& n = surface.nodes[std::size_t(p) * kSurfaceSpokes + q];
            n.x = rho * std::cos(theta);
            n.y = rho * std::sin(theta);
            n.z = gridZ[std::size_t(CartesianIndexOf(n.x)) * kCartesianSide + CartesianIndexOf(n.y)];
        }
    return surface;
}

void RenderWave3d(QImage& image, const Wave3dSurface& surface, const Wave3dView& view)
{
    image.fill(Qt::white);
    if (image.isNull())
        return;
    const Camera cam(view, image.size());
    // World to the unit box centred on the origin.
    auto unit = [&](double x, double y, double z) {
        return Vec{x / 2.0, y / 2.0, (z - surface.zOrigin) / surface.zWidth - 0.5};
    };

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPen red(QColor(255, 0, 0), 1);
    painter.setPen(red);

    // The box: its edges, the three at the nearest corner drawn again over the surface.
    Vec corners[8];
    int nearest = 0;
    for (int c = 0; c < 8; ++c) {
        corners[c] = {c & 1 ? 0.5 : -0.5, c & 2 ? 0.5 : -0.5, c & 4 ? 0.5 : -0.5};
        if (dot(corners[c], cam.dir()) > dot(corners[nearest], cam.dir()))
            nearest = c;
    }
    auto drawEdges = [&](bool frontOnly) {
        for (int c = 0; c < 8; ++c)
            for (int bit : {1, 2, 4})
                if (!(c & bit) && (!frontOnly || c == nearest || (c | bit) == nearest))
                    painter.drawLine(cam.project(corners[c]), cam.project(corners[c | bit]));
    };
    drawEdges(false);

    // The surface, farthest quad first.
    if (surface.nodes.size() == std::size_t(kSurfaceRings) * kSurfaceSpokes) {
        struct Quad {
            double depth;
            QPointF corner[4];
        };
        std::vector<Quad> quads;
        quads.reserve(std::size_t(kSurfaceRings - 1) * (kSurfaceSpokes - 1));
        for (int p = 0; p + 1 < kSurfaceRings; ++p)
            for (int q = 0; q + 1 < kSurfaceSpokes; ++q) {
                Quad quad{0.0, {}};
                const int rp[4] = {p, p + 1, p + 1, p}, rq[4] = {q, q, q + 1, q + 1};
                for (int k = 0; k < 4; ++k) {
                    const MeshNode& n = surface.at(rp[k], rq[k]);
                    const Vec v = unit(n.x, n.y, n.z);
                    quad.depth += cam.depth(v);
                    quad.corner[k] = cam.project(v);
                }
                quads.push_back(quad);
            }
        std::stable_sort(quads.begin(), quads.end(),
                         [](const Quad& a, const Quad& b) { return a.depth > b.depth; });
        painter.setPen(QPen(QColor(0, 0, 0), 1));
        painter.setBrush(Qt::white);
        for (const Quad& quad : quads)
            painter.drawPolygon(quad.corner, 4);
    }
    painter.setPen(red);
    painter.setBrush(Qt::NoBrush);
    drawEdges(true);

    // The axes on the near edges of the floor, the wavefront axis at a side
    // corner, all in front of the surface.
    const Vec d = cam.dir();
    const double xNear = d.x >= 0.0 ? 0.5 : -0.5, yNear = d.y >= 0.0 ? 0.5 : -0.5;
    const QPointF centre = cam.project({0.0, 0.0, 0.0});
    drawAxis(painter, image, cam, {-0.5, yNear, -0.5}, {0.5, yNear, -0.5}, -1.0, 1.0, "x", centre, false);
    drawAxis(painter, image, cam, {xNear, -0.5, -0.5}, {xNear, 0.5, -0.5}, -1.0, 1.0, "y", centre, false);
    drawAxis(painter, image, cam, {-xNear, yNear, -0.5}, {-xNear, yNear, 0.5}, surface.zOrigin,
             surface.zOrigin + surface.zWidth, "wavefront", centre, true);
}

} // namespace qm
