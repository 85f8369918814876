#pragma once
// TMDIImage: one computed picture in a child window of the main frame. It
// knows its kind, keeps the parameters that made it, the picture on show and an
// unadjusted copy, its colour levels and the figures of its last star. What
// differs between kinds is read from the kind's row (imagekinds.h); the
// computing is the headless picture request (picturerequest.h).

#include "engine/simstate.h"
#include "imagewin/imagehost.h"
#include "imagewin/imagekinds.h"
#include "imagewin/picturerequest.h"
#include "imagewin/pictures.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

class QDoubleSpinBox;
class QLabel;
class QScrollBar;
class QSlider;
class QTimer;
class QToolButton;

namespace qm {

class TMDIImage : public QWidget {
    Q_OBJECT
public:
    // Runs the creation sequence for the kind: sizes itself and computes the picture.
    TMDIImage(PictureKind kind, const ImageWindowLinks& links, QWidget* parent = nullptr);

    // Recomputes the picture for the window's kind with the current telescope.
    void UpdateImage();
    // Rebuilds the shown picture from the unadjusted copy with the tool's levels.
    void ApplyColourBalance();
    // Pushes this window's telescope, levels and curves back into the main window.
    void FormActivate();
    // The zoom bar moved: eyepiece, caption, dimming, and the picture redrawn.
    void ZoomChange();
    // The window's data plane as FITS: the unit-sum PSF of star kinds, the
    // wavefront of a wave window (the "FITS data" choice of Save Image).
    Status saveData(const std::string& path) const;
    // Measuring on planet pictures, at picture coordinates.
    void DisplayImageMouseMove(int x, int y);
    void DisplayImageDblClick();
    float zoomFactor() const;

    // --- record -----------------------------------------------------------------
    const PictureKind Kind;
    int ScopeNumber = 0;
    QString FileName;
    int ImageSize = 256;
    ParamTable ParamsSnapshot{};
    // The colour sliders last applied to this window (channel switches are the tool's).
    ColourLevels Levels;
    bool Dimming = false;
    std::unique_ptr<Plane> PsfPlane;
    double PsfPeak = 0.0;
    int PsfSampleCount = 0;
    MtfCurves mtfCurves;
    bool MtfComputed = false;

    const KindTraits& traits() const { return TraitsOf(Kind); }
    const QImage& displayImage() const { return displayImage_; }
    const QImage& spareImage() const { return spareImage_; }
    // Outcome of the last computation; a refusal leaves a black picture.
    const Status& lastStatus() const { return lastStatus_; }
    // What the last computation had to say about its picture.
    const std::vector<std::string>& lastNotes() const { return lastNotes_; }
    QString caption() const;

    // Size of the client area for a picture of w x h: the picture sits at
    // (32, 23), right of the tool column and under the control row.
    static QSize clientSizeFor(int w, int h) { return {w + 32, h + 23}; }

signals:
    void captionChanged(const QString& caption);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setUpForKind();
    void recompute(PicturePhase phase);
    void recordStar(const StarFigures& figures);
    void layoutFor(int pictureWidth, int pictureHeight);
    void showPicture();
    void showNotes();
    void logEnd(qint64 startMs);
    void eyepieceReadout();
    // Live seeing: a fresh turbulence screen and a new picture about 20 times
    // a second while the Live button is down (star and intra windows).
    void LiveButtonToggled(bool on);
    void liveFrame();

    ImageWindowLinks links_;
    QImage displayImage_;
    QImage spareImage_;
    Status lastStatus_;
    std::vector<std::string> lastNotes_;
    QString kindLabel_;   // the kind's own part of the information line

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
    QToolButton* LiveButton_ = nullptr;
    QTimer* liveTimer_ = nullptr;
    bool live_ = false;            // a live frame is being made: its notes are not logged
    int liveFrames_ = 0;           // frames since liveSince_
    qint64 liveSince_ = 0;
    QString liveRate_;             // "Live: 19.6 frames/s"
    bool spinEcho_ = false;
    // A computation that lets events run is under way; a close waits for it.
    bool computing_ = false;
    bool closeWhenDone_ = false;
    double planetResolution_ = 10.0;   // the view's rendering resolution (quil)
    // The wavefront a wave window shows, for saving as data: N x N, and its grid.
    std::vector<float> waveData_;
    int dataSize_ = 0, dataWavelength_ = 555;
    double dataArcsecPerPixel_ = 0.1;

    void invertCross(int x, int y);
    void invertMark(int x, int y);
    void labelDistance();
};

// Milliseconds since midnight, as the log's elapsed times are measured.
qint64 TimeOfDayMs();

} // namespace qm
