#include "analysis/d3wavefront.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

Wave3dImage::Wave3dImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("WavefrontImage"));
    setToolTip(QStringLiteral("3 d wavefront image (axis errors in wavelengths)"));
    setMinimumSize(120, 120);
}

void Wave3dImage::setPlot(const Wave3dSurface* surface, const Wave3dView& view)
{
    surface_ = surface;
    view_ = view;
    update();
}

QImage Wave3dImage::rendered() const
{
    QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    RenderWave3d(image, surface_ ? *surface_ : Wave3dSurface{}, view_);
    return image;
}

void Wave3dImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, rendered());
}

TD3Wave::TD3Wave(SimState& state, QWidget* parent) : QWidget(parent), state_(state)
{
    setObjectName(QStringLiteral("D3Wave"));
    setWindowTitle(QStringLiteral("D3Wave"));

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setFixedHeight(57);
    auto* grid = new QGridLayout(bar);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(0);
    auto* update = new QToolButton(bar);
    update->setObjectName(QStringLiteral("Wave3dUpdateButton"));
    update->setText(QStringLiteral("Update"));
    update->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    update->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    grid->addWidget(update, 0, 0, 2, 1);

    auto scroll = [bar](const char* name, int lo, int hi, int pos) {
        auto* s = new QScrollBar(Qt::Horizontal, bar);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(lo, hi);
        s->setValue(pos);
        s->setMinimumWidth(60);
        return s;
    };
    Y3d = scroll("Y3d", 0, 359, 45);
    Z3d = scroll("Z3d", 0, 359, 45);
    Distance3d = scroll("Distance3d", 0, 100, 50);
    int column = 1;
    for (auto [text, s] : {std::pair{QStringLiteral("Y rotation (°)"), Y3d},
                           std::pair{QStringLiteral("Z-rotation (°)"), Z3d},
                           std::pair{QStringLiteral("Distance"), Distance3d}}) {
        grid->addWidget(new QLabel(text, bar), 0, column);
        grid->addWidget(s, 1, column);
        grid->setColumnStretch(column, 1);
        ++column;
    }

    WavefrontImage = new Wave3dImage(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(WavefrontImage, 1);

    connect(update, &QToolButton::clicked, this, &TD3Wave::Wave3dUpdateButtonClick);
    for (QScrollBar* s : {Y3d, Z3d, Distance3d})
        connect(s, &QScrollBar::valueChanged, this, &TD3Wave::viewChange);
    resize(377, 348);
    Wave3dUpdateButtonClick();
}

void TD3Wave::Wave3dUpdateButtonClick()
{
    surface_ = BuildWave3dSurface(state_);
    WavefrontImage->setPlot(&surface_, view_);
}

void TD3Wave::viewChange()
{
    view_.yRotation = Y3d->value();
    view_.zRotation = Z3d->value();
    view_.distance = Distance3d->value() * 0.1;
    WavefrontImage->setPlot(&surface_, view_);
}

} // namespace qm
