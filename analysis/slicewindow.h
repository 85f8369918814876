#pragma once
// TSliceForm: the through-focus slice window. Its controls choose the focus
// range, the transform size, the aperture and the picture size; Calculate runs
// the slice on the shared state, Escape stops it with the columns done.

#include "analysis/slice.h"
#include "imagewin/imagehost.h"

#include <QImage>
#include <QWidget>

class QComboBox;
class QLabel;
class QScrollArea;
class QSlider;
class QToolButton;

namespace qm {

class IntSpinBox;
class RealSpinBox;

class TSliceForm : public QWidget {
    Q_OBJECT
public:
    TSliceForm(SimState& state, ScopeList& scopes, FrameServices& frame, QWidget* parent = nullptr);

    void RxSpeedButton1Click();   // Calculate
    void RxSpeedButton2Click();   // Save Image
    SliceSettings settings() const;
    const QImage& picture() const { return picture_; }
    bool computing() const { return computing_; }

    RealSpinBox* SliceFocus;
    QSlider* TrackBar1;
    QComboBox* SliceFFTSpace;
    IntSpinBox* SliceAperture;
    IntSpinBox* SliceHeight;
    IntSpinBox* SliceWidth;
    QLabel* SlicedImage;
    QLabel* message;

signals:
    void captionChanged(const QString& caption);
    // The client size the window takes for its new picture.
    void sizeWanted(const QSize& size);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SliceFocusChange(double value);
    void TrackBar1Change(int position);
    void showPicture(const QImage& picture);

    SimState& state_;
    ScopeList& scopes_;
    FrameServices& frame_;
    QScrollArea* Panel1_;
    QImage picture_;
    bool SpinEchoGuard_ = false;
    bool computing_ = false;
    bool abort_ = false;
    bool closeWhenDone_ = false;
};

} // namespace qm
