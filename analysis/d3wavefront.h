#pragma once
// TD3Wave: the wavefront of the last synthesis as a perspective surface over
// the pupil, with scroll bars for the two view angles and the distance.

#include "analysis/wave3d.h"

#include <QImage>
#include <QWidget>

class QScrollBar;
class QToolButton;

namespace qm {

// The view area: draws the surface with the renderer at its own size.
class Wave3dImage : public QWidget {
    Q_OBJECT
public:
    explicit Wave3dImage(QWidget* parent = nullptr);
    void setPlot(const Wave3dSurface* surface, const Wave3dView& view);
    // The picture as last drawn (for tests and saving).
    QImage rendered() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Wave3dSurface* surface_ = nullptr;
    Wave3dView view_;
};

class TD3Wave : public QWidget {
    Q_OBJECT
public:
    explicit TD3Wave(SimState& state, QWidget* parent = nullptr);

    // Resamples the wave map of the last synthesis and redraws.
    void Wave3dUpdateButtonClick();
    const Wave3dSurface& surface() const { return surface_; }
    const Wave3dView& view() const { return view_; }

    QScrollBar* Y3d;
    QScrollBar* Z3d;
    QScrollBar* Distance3d;
    Wave3dImage* WavefrontImage;

private:
    void viewChange();

    SimState& state_;
    Wave3dSurface surface_;
    Wave3dView view_;
};

} // namespace qm
