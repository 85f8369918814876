#pragma once
// TMDIImage: one computed picture in a child window of the main frame. It
// knows its kind, keeps the parameters that made it, the picture on show and an
// unadjusted copy, its colour levels and the figures of its last star.

#include "engine/simstate.h"
#include "imagewin/imagehost.h"
#include "imagewin/pictures.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

class QDoubleSpinBox;
class QLabel;
class QScrollBar;
class QSlider;
class QToolButton;

namespace qm {

class TMDIImage : public QWidget {
    Q_OBJECT
public:
    // Runs the creation sequence: reads the host's kind, sizes itself and
    // computes the picture.
    explicit TMDIImage(ImageHost& host, QWidget* parent = nullptr);

    // Recomputes the picture for the window's kind with the current telescope.
    void UpdateImage();
    // Rebuilds the shown picture from the unadjusted copy with the host's levels.
    void ApplyColourBalance();
    // Pushes this window's telescope, levels and curves back into the main window.
    void FormActivate();

    // --- record -----------------------------------------------------------------
    QString Kind;
    int ScopeNumber = 0;
    QString FileName;
    int ImageSize = 256;
    ParamTable ParamsSnapshot{};
    int RedLevel = 100, GreenLevel = 100, BlueLevel = 100, LuminosityLevel = 100;
    bool Dimming = false;
    std::unique_ptr<Plane> PsfPlane;
    double PsfPeak = 0.0;
    int PsfSampleCount = 0;
    MtfCurves mtfCurves;
    bool MtfComputed = false;

    const QImage& displayImage() const { return displayImage_; }
    const QImage& spareImage() const { return spareImage_; }
    // Outcome of the last computation; a refusal leaves a black picture.
    const Status& lastStatus() const { return lastStatus_; }

    // Size of the client area for a picture of w x h: the picture sits at
    // (32, 23), right of the tool column and under the control row.
    static QSize clientSizeFor(int w, int h) { return {w + 32, h + 23}; }

signals:
    void captionChanged(const QString& caption);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ComputeStarImage();
    void recordStar();
    void computeIntra(bool alsoDisplay);
    void layoutFor(int pictureWidth, int pictureHeight);
    void showPicture();
    void logEnd(qint64 startMs);
    void eyepieceReadout();
    QString caption() const;

    ImageHost& host_;
    QImage displayImage_;
    QImage spareImage_;
    Status lastStatus_;

    QLabel* DisplayImage_ = nullptr;
    QLabel* TelescopeLabel_ = nullptr;
    QScrollBar* Zoom_ = nullptr;
    QDoubleSpinBox* ImageSpinControl_ = nullptr;
    QSlider* RxSlider1_ = nullptr;
    QWidget* SpeedBar1_ = nullptr;
    QToolButton* UpdateButton_ = nullptr;
    QToolButton* SaveImageButton_ = nullptr;
    QToolButton* LRGBControlbutton_ = nullptr;
    QToolButton* DoubleStarTableButton_ = nullptr;
    bool spinEcho_ = false;
};

// Milliseconds since midnight, as the log's elapsed times are measured.
qint64 TimeOfDayMs();

} // namespace qm
