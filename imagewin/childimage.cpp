#include "imagewin/childimage.h"

#include "engine/nint.h"
#include "engine/psf.h"
#include "imagefiles/fits.h"
#include "imagewin/glyphs.h"
#include "imagewin/savepicture.h"
#include "imagewin/spinboxes.h"

#include <QApplication>
#include <QFileInfo>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

qint64 TimeOfDayMs()
{
    const QTime t = QTime::currentTime();
    return ((t.hour() * 3600LL + t.minute() * 60LL + t.second()) * 1000LL) + t.msec();
}

namespace {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

QString kindWord(PictureKind kind)
{
    const std::string_view k = KindKeyword(kind);
    return QString::fromLatin1(k.data(), qsizetype(k.size()));
}

void setHint(QWidget* w, const QString& hint)
{
    w->setToolTip(hint);
    w->setStatusTip(hint);
}

QToolButton* speedButton(QWidget* parent, const char* name, const char* glyph, const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(Glyph(glyph));
    b->setAutoRaise(true);
    setHint(b, hint);
    b->setFixedSize(28, 28);
    return b;
}

// The "Scope" cursor over pictures: a small eyepiece cross-hair, drawn here.
QCursor scopeCursor()
{
    static const QCursor cursor = [] {
        QPixmap pm(24, 24);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 3));
        p.drawEllipse(QPointF(12, 12), 8, 8);
        p.setPen(QPen(Qt::black, 1));
        p.drawEllipse(QPointF(12, 12), 8, 8);
        p.drawLine(12, 1, 12, 8);
        p.drawLine(12, 16, 12, 23);
        p.drawLine(1, 12, 8, 12);
        p.drawLine(16, 12, 23, 12);
        return QCursor(pm, 12, 12);
    }();
    return cursor;
}

} // namespace

TMDIImage::TMDIImage(PictureKind kind, const ImageWindowLinks& links, QWidget* parent)
    : QWidget(parent), Kind(kind), links_(links)
{
    setObjectName(QStringLiteral("TMDIImage"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();

    // Creation.
    SimState& s = links_.state;
    const qint64 start = TimeOfDayMs();
    links_.frame.log(QStringLiteral("Intializing ") + kindWord(Kind) +
                     QLatin1Char(' ') + QString::number(s.FftSize));
    ImageSize = links_.scopes.newImageSize();
    s.UseFixedPsfMax = false;
    s.Params[prmAperture].Value = s.panel.ApertureSpin;
    s.Params[prmResolution].Value = s.panel.ResolutionSpin;
    ScopeNumber = links_.scopes.currentScope();
    ParamsSnapshot = s.Params;
    links_.scopes.storeScopeParams(ScopeNumber, s.Params);
    links_.colour.setDimmingChecked(false);
    mtfCurves.frequency.assign(s.FftSize / 2, 0.0f);
    mtfCurves.curve1.assign(s.FftSize / 2, 0.0f);
    mtfCurves.curve2.assign(s.FftSize / 2, 0.0f);

    if (traits().shape == PictureShape::FromFile) {
        FileName = links_.frame.planetFile();
        planetResolution_ = links_.frame.planetResolution();
    }
    setUpForKind();
    if (Kind == PictureKind::Planet) {
        // The resolution the file's name gives, else 10.
        const NameResolution named = PlanetResolutionFromName(FileName.toStdString());
        ImageSpinControl_->setValue(named.value);
        if (!named.note.empty())
            links_.frame.log(QString::fromStdString(named.note));
    }
    recompute(PicturePhase::Creation);
    logEnd(start);
    if (!lastStatus_)
        links_.frame.reportProblem(QString::fromStdString(lastStatus_.message));
}

void TMDIImage::buildControls()
{
    DisplayImage_ = new QLabel(this);
    DisplayImage_->setObjectName(QStringLiteral("DisplayImage"));
    DisplayImage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DisplayImage_->setStyleSheet(QStringLiteral("background: black"));
    DisplayImage_->setCursor(scopeCursor());
    DisplayImage_->setMouseTracking(true);
    DisplayImage_->installEventFilter(this);

    // Yellow on a dark translucent backing stays readable over bright pictures.
    TelescopeLabel_ = new QLabel(QStringLiteral("Zoomcontrol"), this);
    TelescopeLabel_->setObjectName(QStringLiteral("TelescopeLabel"));
    TelescopeLabel_->setStyleSheet(QStringLiteral(
        "color: yellow; font-weight: bold; font-size: 8pt; background: rgba(0, 0, 0, 150); "
        "padding: 1px 3px"));
    TelescopeLabel_->setWordWrap(true);
    TelescopeLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    TelescopeLabel_->hide();

    Zoom_ = new QScrollBar(Qt::Horizontal, this);
    Zoom_->setObjectName(QStringLiteral("Zoom"));
    Zoom_->setRange(5, 1000);
    Zoom_->setValue(250);
    setHint(Zoom_, QStringLiteral("Zoom"));
    Zoom_->hide();

    ImageSpinControl_ = new RealSpinBox(this);
    ImageSpinControl_->setObjectName(QStringLiteral("ImageSpinControl"));
    ImageSpinControl_->setKeyboardTracking(false);

    RxSlider1_ = new QSlider(Qt::Horizontal, this);
    RxSlider1_->setObjectName(QStringLiteral("RxSlider1"));
    RxSlider1_->setRange(0, 100);
    RxSlider1_->setValue(20);
    setHint(RxSlider1_, QStringLiteral("Set defocus (waves)"));
    RxSlider1_->hide();

    SpeedBar1_ = new QWidget(this);
    SpeedBar1_->setObjectName(QStringLiteral("SpeedBar1"));
    auto* bar = new QVBoxLayout(SpeedBar1_);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(2);
    UpdateButton_ = speedButton(SpeedBar1_, "UpdateButton", "update", QStringLiteral("Update Image"));
    SaveImageButton_ = speedButton(SpeedBar1_, "SaveImageButton", "save", QStringLiteral("Save Image"));
    LRGBControlbutton_ = speedButton(SpeedBar1_, "LRGBControlbutton", "rgbl", QStringLiteral("RGBL controls"));
    DoubleStarTableButton_ = speedButton(SpeedBar1_, "DoubleStarTableButton", "table",
                                         QStringLiteral("Show Double Star Database"));
    DoubleStarTableButton_->setEnabled(false);
    LiveButton_ = new QToolButton(SpeedBar1_);
    LiveButton_->setObjectName(QStringLiteral("LiveButton"));
    LiveButton_->setText(QStringLiteral("Live"));
    LiveButton_->setCheckable(true);
    LiveButton_->setAutoRaise(true);
    LiveButton_->setFixedSize(28, 28);
    LiveButton_->setStyleSheet(QStringLiteral("font-size: 7pt"));
    setHint(LiveButton_, QStringLiteral("Live seeing: a new turbulence screen about 20 times a second"));
    LiveButton_->hide();
    liveTimer_ = new QTimer(this);
    liveTimer_->setInterval(50);
    for (QToolButton* b : {UpdateButton_, SaveImageButton_, LRGBControlbutton_, DoubleStarTableButton_, LiveButton_})
        bar->addWidget(b);
    bar->addStretch();

    connect(UpdateButton_, &QToolButton::clicked, this, [this] { links_.frame.updateActiveImage(); });
    // What is saved is the picture on show, with colour balance and zoom.
    connect(SaveImageButton_, &QToolButton::clicked, this, [this] {
        const bool hasData = (Kind == PictureKind::Wave && !waveData_.empty()) || (PsfPlane && dataSize_ > 0);
        SavePicture(this, displayImage_,
                    hasData ? std::function<Status(const std::string&)>([this](const std::string& p) { return saveData(p); })
                            : std::function<Status(const std::string&)>());
    });
    connect(LRGBControlbutton_, &QToolButton::clicked, this, [this] { links_.colour.showColourTool(); });
    connect(DoubleStarTableButton_, &QToolButton::clicked, this, [this] { links_.doubles.showDoubleStarTool(this); });
    // The defocus of an intra/extra pair: the spin moves the slider without an echo,
    // releasing the slider recomputes.
    connect(ImageSpinControl_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        // A new planet resolution re-labels the distance measured.
        if (Kind == PictureKind::Planet && links_.frame.measurement().MeasuredDistance > 0.0)
            labelDistance();
        if (!traits().defocusSlider)
            return;
        spinEcho_ = true;
        const int pos = NintI(v * 10.0);
        if (RxSlider1_->value() == pos)
            spinEcho_ = false;
        RxSlider1_->setValue(pos);
    });
    connect(RxSlider1_, &QSlider::valueChanged, this, [this](int pos) {
        if (!spinEcho_)
            ImageSpinControl_->setValue(pos * 0.1);
        spinEcho_ = false;
    });
    connect(RxSlider1_, &QSlider::sliderReleased, this, [this] { UpdateImage(); });
    connect(Zoom_, &QScrollBar::valueChanged, this, &TMDIImage::ZoomChange);
    connect(LiveButton_, &QToolButton::toggled, this, &TMDIImage::LiveButtonToggled);
    connect(liveTimer_, &QTimer::timeout, this, &TMDIImage::liveFrame);
}

void TMDIImage::LiveButtonToggled(bool on)
{
    liveRate_.clear();
    liveFrames_ = 0;
    liveSince_ = TimeOfDayMs();
    if (on)
        liveTimer_->start();
    else
        liveTimer_->stop();
    showNotes();
}

void TMDIImage::liveFrame()
{
    // Only a picture of the telescope the panel shows boils, and never while
    // another computation lets events run.
    SimState& s = links_.state;
    if (computing_ || ScopeNumber != links_.scopes.currentScope())
        return;
    auto keepLog = std::move(s.onLog);
    s.onLog = nullptr;
    s.TurbGenerated = -1.0;   // no strength is negative: the synthesis draws a new screen
    live_ = true;
    recompute(PicturePhase::Update);
    live_ = false;
    s.onLog = std::move(keepLog);
    ++liveFrames_;
    const qint64 now = TimeOfDayMs();
    if (now - liveSince_ >= 1000 || now < liveSince_) {
        liveRate_ = QStringLiteral("Live: %1 frames/s").arg(liveFrames_ * 1000.0 / std::max<qint64>(1, now - liveSince_), 0, 'f', 1);
        liveFrames_ = 0;
        liveSince_ = now;
        showNotes();
    }
}

// The controls of the kind's row: what the spin box means, which bars and
// buttons show, the information line.
void TMDIImage::setUpForKind()
{
    const KindTraits& t = traits();
    const SpinSettings& spin = t.spin;
    ImageSpinControl_->setDecimals(spin.decimals);
    ImageSpinControl_->setRange(spin.minimum, spin.maximum);
    ImageSpinControl_->setSingleStep(spin.step);
    ImageSpinControl_->setValue(spin.value);
    setHint(ImageSpinControl_, QString::fromLatin1(spin.hint));
    ImageSpinControl_->setVisible(t.spinRole != SpinRole::Hidden);
    RxSlider1_->setVisible(t.defocusSlider);
    LRGBControlbutton_->setEnabled(t.colourTool);
    DoubleStarTableButton_->setEnabled(t.doubleStarTable);
    Zoom_->setVisible(t.zoomBar);
    LiveButton_->setVisible(Kind == PictureKind::Star || Kind == PictureKind::Intra);
    if (t.label == LabelUse::Fixed)
        kindLabel_ = QString::fromLatin1(t.labelText);
    if (t.darkLabel)
        TelescopeLabel_->setStyleSheet(QStringLiteral(
            "color: black; font-weight: bold; font-size: 8pt; background: rgba(255, 255, 255, 160); "
            "padding: 1px 3px"));
}

QString TMDIImage::caption() const
{
    const SimState& s = links_.state;
    return QString::fromStdString(ImageCaption(
        Kind, links_.scopes.scopeName(links_.scopes.currentScope()).toStdString(), s.ViewMagnification));
}

void TMDIImage::layoutFor(int w, int h)
{
    setFixedSize(clientSizeFor(w, h));
    DisplayImage_->setGeometry(32, 23, w, h);
    SpeedBar1_->setGeometry(0, 23, 32, h);
    Zoom_->setGeometry(32, 2, std::max(0, w - 65), 19);
    if (traits().defocusSlider) {
        ImageSpinControl_->setGeometry(32, 0, 60, 22);
        RxSlider1_->setGeometry(96, 2, std::max(40, w - 70), 19);
    } else {
        ImageSpinControl_->setGeometry(std::max(32, w - 30), 0, 60, 22);
    }
    TelescopeLabel_->setFixedWidth(std::max(40, w - 8));
    TelescopeLabel_->move(36, 25);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->adjustSize();
}

float TMDIImage::zoomFactor() const
{
    return ZoomFactor(Zoom_->value());
}

void TMDIImage::ZoomChange()
{
    const SimState& s = links_.state;
    const float z = zoomFactor();
    eyepieceReadout();
    const QString zoomed = QString::fromStdString(ImageCaption(
        Kind, links_.scopes.scopeName(ScopeNumber).toStdString(), s.ViewMagnification * double(z)));
    setWindowTitle(zoomed);
    emit captionChanged(zoomed);
    if (Dimming)
        links_.colour.setLuminosityLevel(DimmedLuminosity(s.Params[prmAperture].Value, z, s.ViewMagnification));
    ApplyColourBalance();
}

void TMDIImage::eyepieceReadout()
{
    const SimState& s = links_.state;
    const auto e = EyepieceTenths(s.panel.ApertureSpin, s.Params[prmFocalRatio].Value, Zoom_->value(),
                                  s.ViewMagnification);
    if (!e)
        return;
    // Long eyepieces of low magnifications must show, not clamp at the spin's default limit.
    ImageSpinControl_->setMaximum(std::max(10.0, *e * 0.1));
    ImageSpinControl_->setValue(*e * 0.1);
    links_.frame.showEyepiece(QString::number(*e * 0.1, 'f', 1));
}

void TMDIImage::recordStar(const StarFigures& figures)
{
    SimState& s = links_.state;
    if (!PsfPlane)
        PsfPlane = std::make_unique<Plane>();
    PsfPlane->copyFrom(s.PsfImage);
    PsfPeak = figures.peak;
    PsfSampleCount = figures.sampleCount;
    MtfComputed = figures.mtfComputed;
    if (links_.plots.psfFormOpen())
        links_.plots.fillPsfWindows(s.PsfImage, figures.peak, figures.sampleCount);
    if (figures.mtfComputed) {
        mtfCurves = figures.mtf;
        links_.plots.fillMtfWindows(mtfCurves, true);
    }
    links_.plots.refreshWave3d();
}

// The one road of creation and update: size the window, run the picture
// request, keep its figures, show the read-out and what the computation said.
void TMDIImage::recompute(PicturePhase phase)
{
    const KindTraits& t = traits();
    const PictureSize size = PictureSizeFor(Kind, ImageSize);
    layoutFor(size.width, size.height);
    {
        BusyCursor busy;
        PictureInputs in;
        in.kind = Kind;
        in.phase = phase;
        in.size = ImageSize;
        in.wantMtf = links_.plots.mtfFormOpen();
        if (t.spinRole == SpinRole::Defocus)
            in.defocus = ImageSpinControl_->value();
        if (t.spinRole == SpinRole::Fringes)
            in.fringes = NintI(ImageSpinControl_->value());
        in.planetFile = FileName.toStdString();
        in.planetResolution = planetResolution_;
        in.separation = links_.doubles.separation();
        in.angle = links_.doubles.positionAngle();
        in.magnitudeA = links_.doubles.magnitudeA();
        in.magnitudeB = links_.doubles.magnitudeB();
        PictureHooks hooks;
        hooks.progress = [this](int done, int total) { links_.frame.showProgress(done, total); };
        hooks.letEventsRun = [] { QCoreApplication::processEvents(); };
        hooks.starDone = [this](const StarFigures& star, int pass) {
            recordStar(star);
            if (pass >= 0 && star.mtfComputed && links_.plots.mtfFormOpen())
                links_.plots.fillMtfChannel(pass, star.wavelength, star.mtf);
        };
        computing_ = true;
        PictureResult r = ComputePicture(links_.state, in, hooks);
        computing_ = false;
        if (closeWhenDone_) {
            QWidget* target = parentWidget() ? parentWidget() : this;
            QTimer::singleShot(0, target, [target] { target->close(); });
        }
        lastStatus_ = r.status;
        lastNotes_ = std::move(r.notes);
        if (t.label == LabelUse::Result)
            kindLabel_ = QString::fromStdString(r.label);
        else if (t.label == LabelUse::TelescopeName && phase == PicturePhase::Update)
            kindLabel_ = QStringLiteral("Telescope ") + QString::number(links_.scopes.currentScope());
        if (r.star.present)
            recordStar(r.star);
        const SimState& s = links_.state;
        dataSize_ = s.FftSize;
        dataWavelength_ = r.star.present ? r.star.wavelength : s.Wavelength;
        dataArcsecPerPixel_ = s.ArcsecPerPixel;
        if (Kind == PictureKind::Wave) {
            waveData_.resize(std::size_t(dataSize_) * dataSize_);
            for (int y = 0; y < dataSize_; ++y)
                for (int x = 0; x < dataSize_; ++x)
                    waveData_[std::size_t(y) * dataSize_ + x] = s.WaveMap.at(x, y);
        }
        displayImage_ = std::move(r.display);
        spareImage_ = std::move(r.spare);
    }
    if (t.shape == PictureShape::FromFile) {
        layoutFor(spareImage_.width(), spareImage_.height());
        const QString name = QFileInfo(FileName).fileName();
        kindLabel_ = Kind == PictureKind::Planet
                         ? name + QStringLiteral("(") + QString::number(spareImage_.width()) + QLatin1Char('x') +
                               QString::number(spareImage_.height()) + QLatin1Char(')')
                         : name;
        // Updating the loaded picture renders the view through the telescope.
        if (Kind == PictureKind::Planet && phase == PicturePhase::Update && lastStatus_)
            links_.frame.openPlanetView(FileName, ImageSpinControl_->value());
    }
    if (t.spinRole == SpinRole::EyepieceReadout)
        eyepieceReadout();
    if (!live_)
        for (const std::string& note : lastNotes_)
            links_.frame.log(QString::fromStdString(note));
    showNotes();
    if (phase == PicturePhase::Update && t.colourBalanceOnUpdate)
        ApplyColourBalance();
    else
        showPicture();
}

void TMDIImage::showNotes()
{
    QStringList lines;
    if (!kindLabel_.isEmpty())
        lines << kindLabel_;
    for (const std::string& note : lastNotes_)
        lines << QString::fromStdString(note);
    if (!liveRate_.isEmpty())
        lines << liveRate_;
    TelescopeLabel_->setText(lines.join(QLatin1Char('\n')));
    TelescopeLabel_->setVisible(!lines.isEmpty());
    TelescopeLabel_->adjustSize();
    TelescopeLabel_->raise();
}

void TMDIImage::UpdateImage()
{
    SimState& s = links_.state;
    const qint64 start = TimeOfDayMs();
    links_.frame.log(QStringLiteral("Update ") + kindWord(Kind) +
                     QLatin1Char(' ') + QString::number(s.FftSize));
    const QString newCaption = caption();
    setWindowTitle(newCaption);
    emit captionChanged(newCaption);
    ScopeNumber = links_.scopes.currentScope();
    ParamsSnapshot = links_.scopes.scopeParams(ScopeNumber);
    links_.scopes.markScopeSelected(ScopeNumber);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        links_.frame.setNextWindowPosition(sub->pos());
    recompute(PicturePhase::Update);
    logEnd(start);
    if (!lastStatus_)
        links_.frame.reportProblem(QString::fromStdString(lastStatus_.message));
}

void TMDIImage::ApplyColourBalance()
{
    const ColourLevels l = links_.colour.colourLevels();
    Levels.red = l.red;
    Levels.green = l.green;
    Levels.blue = l.blue;
    Levels.luminosity = l.luminosity;
    displayImage_ = Zoomed(ColourBalanced(spareImage_, l), zoomFactor());
    showPicture();
}

void TMDIImage::FormActivate()
{
    const bool follows = traits().followsTelescope;
    if (follows) {
        links_.scopes.selectScope(ScopeNumber);
        ColourLevels l = links_.colour.colourLevels();
        l.red = Levels.red;
        l.green = Levels.green;
        l.blue = Levels.blue;
        l.luminosity = Levels.luminosity;
        links_.colour.showColourLevels(l, Dimming);
    }
    if (links_.plots.psfFormOpen() && PsfPlane)
        links_.plots.fillPsfWindows(*PsfPlane, float(PsfPeak), PsfSampleCount);
    if (links_.plots.mtfFormOpen())
        links_.plots.fillMtfWindows(mtfCurves, false);
    if (follows)
        links_.scopes.markScopeSelected(ScopeNumber);
}

void TMDIImage::showPicture()
{
    DisplayImage_->setPixmap(QPixmap::fromImage(displayImage_));
}

void TMDIImage::logEnd(qint64 startMs)
{
    links_.frame.log(QStringLiteral("End of Simulation :") + QString::number(TimeOfDayMs() - startMs) +
                     QStringLiteral(" ms"));
}

Status TMDIImage::saveData(const std::string& path) const
{
    const int n = dataSize_;
    std::vector<float> data;
    std::string content = "WAVEFRONT (waves)";
    if (Kind == PictureKind::Wave) {
        data = waveData_;
    } else {
        if (!PsfPlane || n <= 0)
            return Status::failure("cannot write " + path + ": no data");
        data.resize(std::size_t(n) * n);
        const int origin = 256 - n / 2;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                data[std::size_t(y) * n + x] = PsfPlane->at(origin + x, origin + y);
        content = "PSF (unit sum)";
    }
    return WriteFitsImage(path, n, n, data, TelescopeKeywords(ParamsSnapshot, dataWavelength_, n, dataArcsecPerPixel_),
                          content);
}

bool TMDIImage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DisplayImage_) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
            DisplayImageMouseMove(p.x(), p.y());
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            DisplayImageDblClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Marks are drawn by inverting the picture's pixels, so drawing one twice
// removes it; a redraw of the picture removes them all.
void TMDIImage::invertCross(int x, int y)
{
    QPainter p(&displayImage_);
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.drawLine(x, y - 5, x, y + 5);
    p.drawLine(x - 5, y, x + 5, y);
}

void TMDIImage::invertMark(int x, int y)
{
    QPainter p(&displayImage_);
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.drawLine(x, y, x, y + 5);
    p.drawLine(x - 5, y, x + 5, y);
}

void TMDIImage::labelDistance()
{
    const Measurement& m = links_.frame.measurement();
    const double perArcsec = ImageSpinControl_->value();
    const double arcsec = perArcsec > 0.0 ? Nint(m.MeasuredDistance / perArcsec * 100.0) * 0.01 : 0.0;
    TelescopeLabel_->setText(QStringLiteral("Distance=") + QString::fromStdString(FormatDouble(arcsec)) +
                             QStringLiteral(" asec"));
    TelescopeLabel_->adjustSize();
    TelescopeLabel_->show();
}

void TMDIImage::DisplayImageMouseMove(int x, int y)
{
    Measurement& m = links_.frame.measurement();
    if (Kind != PictureKind::Planet || !(m.MeasuredDistance > 0.0))
        return;
    invertCross(m.CrossX, m.CrossY);
    invertCross(x, y);
    m.CrossX = x;
    m.CrossY = y;
    showPicture();
}

void TMDIImage::DisplayImageDblClick()
{
    if (Kind != PictureKind::Planet)
        return;
    Measurement& m = links_.frame.measurement();
    invertMark(m.MarkAX, m.MarkAY);
    m.MarkAX = m.MarkBX;
    m.MarkAY = m.MarkBY;
    m.MarkBX = m.CrossX;
    m.MarkBY = m.CrossY;
    m.MeasuredDistance = std::hypot(double(m.MarkBX - m.MarkAX), double(m.MarkBY - m.MarkAY)) + 1e-6;
    invertMark(m.MarkBX, m.MarkBY);
    labelDistance();
    showPicture();
}

void TMDIImage::closeEvent(QCloseEvent* event)
{
    if (computing_) {
        // Stop at the next wavelength and close once the computation has returned.
        links_.state.AbortRequested = true;
        closeWhenDone_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TMDIImage::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        links_.state.AbortRequested = true;
    QWidget::keyPressEvent(event);
}

} // namespace qm
