#include "imagewin/childimage.h"

#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/pupil.h"
#include "imagewin/glyphs.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

QToolButton* speedButton(QWidget* parent, const char* name, const char* glyph, const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(Glyph(glyph));
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setFixedSize(28, 28);
    return b;
}

// Total and available physical and virtual memory, in bytes.
struct MemoryFigures {
    unsigned long long total = 0, available = 0, virtualTotal = 0, virtualAvailable = 0;
};

MemoryFigures queryMemory()
{
    MemoryFigures m;
#ifdef Q_OS_WIN
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        m.total = status.ullTotalPhys;
        m.available = status.ullAvailPhys;
        m.virtualTotal = status.ullTotalVirtual;
        m.virtualAvailable = status.ullAvailVirtual;
    }
#else
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return m;
    unsigned long long swapTotal = 0, swapFree = 0;
    while (!f.atEnd()) {
        const QList<QByteArray> parts = f.readLine().simplified().split(' ');
        if (parts.size() < 2)
            continue;
        const unsigned long long kb = parts[1].toULongLong();
        if (parts[0] == "MemTotal:")
            m.total = kb * 1024;
        else if (parts[0] == "MemAvailable:")
            m.available = kb * 1024;
        else if (parts[0] == "SwapTotal:")
            swapTotal = kb * 1024;
        else if (parts[0] == "SwapFree:")
            swapFree = kb * 1024;
    }
    // Virtual memory: what RAM and swap together can hold.
    m.virtualTotal = m.total + swapTotal;
    m.virtualAvailable = m.available + swapFree;
#endif
    return m;
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

TMDIImage::TMDIImage(ImageHost& host, QWidget* parent) : QWidget(parent), host_(host)
{
    setObjectName(QStringLiteral("TMDIImage"));
    setAttribute(Qt::WA_DeleteOnClose);
    SimState& s = host_.state();

    DisplayImage_ = new QLabel(this);
    DisplayImage_->setObjectName(QStringLiteral("DisplayImage"));
    DisplayImage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DisplayImage_->setStyleSheet(QStringLiteral("background: black"));
    DisplayImage_->setCursor(scopeCursor());

    TelescopeLabel_ = new QLabel(QStringLiteral("Zoomcontrol"), this);
    TelescopeLabel_->setObjectName(QStringLiteral("TelescopeLabel"));
    TelescopeLabel_->setStyleSheet(
        QStringLiteral("color: yellow; font-weight: bold; font-size: 8pt; background: transparent"));
    TelescopeLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    TelescopeLabel_->hide();

    Zoom_ = new QScrollBar(Qt::Horizontal, this);
    Zoom_->setObjectName(QStringLiteral("Zoom"));
    Zoom_->setRange(5, 1000);
    Zoom_->setValue(250);
    Zoom_->hide();   // zooming comes with the zoom tools

    ImageSpinControl_ = new QDoubleSpinBox(this);
    ImageSpinControl_->setObjectName(QStringLiteral("ImageSpinControl"));
    ImageSpinControl_->setRange(0.0, 10.0);
    ImageSpinControl_->setSingleStep(0.1);
    ImageSpinControl_->setDecimals(1);
    ImageSpinControl_->setValue(2.0);
    ImageSpinControl_->setToolTip(QStringLiteral("Eyepiece Focal length in mm"));

    RxSlider1_ = new QSlider(Qt::Horizontal, this);
    RxSlider1_->setObjectName(QStringLiteral("RxSlider1"));
    RxSlider1_->setRange(0, 100);
    RxSlider1_->setValue(20);
    RxSlider1_->setToolTip(QStringLiteral("Set defocus (waves)"));
    RxSlider1_->hide();

    SpeedBar1_ = new QWidget(this);
    SpeedBar1_->setObjectName(QStringLiteral("SpeedBar1"));
    auto* bar = new QVBoxLayout(SpeedBar1_);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(2);
    UpdateButton_ = speedButton(SpeedBar1_, "UpdateButton", "update", QStringLiteral("Update Image"));
    SaveImageButton_ = speedButton(SpeedBar1_, "SaveImageButton", "save", QStringLiteral("Save Image"));
    SaveImageButton_->setEnabled(false);   // saving comes with the image files
    LRGBControlbutton_ = speedButton(SpeedBar1_, "LRGBControlbutton", "rgbl", QStringLiteral("RGBL controls"));
    DoubleStarTableButton_ = speedButton(SpeedBar1_, "DoubleStarTableButton", "table",
                                         QStringLiteral("Show Double Star Database"));
    DoubleStarTableButton_->setEnabled(false);
    for (QToolButton* b : {UpdateButton_, SaveImageButton_, LRGBControlbutton_, DoubleStarTableButton_})
        bar->addWidget(b);
    bar->addStretch();

    connect(UpdateButton_, &QToolButton::clicked, this, [this] {
        host_.updateActiveImage();
        const MemoryFigures m = queryMemory();
        host_.setMemoryStatus(QString::fromStdString(
            MemoryStatusText(m.total, m.available, m.virtualTotal, m.virtualAvailable)));
    });
    connect(LRGBControlbutton_, &QToolButton::clicked, this, [this] { host_.showImageSetting(); });
    // The defocus of an intra/extra pair: the spin moves the slider without an echo,
    // releasing the slider recomputes.
    connect(ImageSpinControl_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (Kind != QLatin1String("intra"))
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

    // Creation.
    const qint64 start = TimeOfDayMs();
    Kind = host_.imageKind();
    host_.log(QStringLiteral("Intializing ") + Kind + QLatin1Char(' ') + QString::number(s.FftSize));
    ImageSize = host_.newImageSize();
    s.UseFixedPsfMax = false;
    s.Params[prmAperture].Value = s.panel.ApertureSpin;
    s.Params[prmResolution].Value = s.panel.ResolutionSpin;
    ScopeNumber = host_.currentScope();
    ParamsSnapshot = s.Params;
    host_.storeScopeParams(ScopeNumber, s.Params);
    host_.setDimmingChecked(false);
    mtfCurves.frequency.assign(s.FftSize / 2, 0.0f);
    mtfCurves.curve1.assign(s.FftSize / 2, 0.0f);
    mtfCurves.curve2.assign(s.FftSize / 2, 0.0f);

    const int size = ImageSize;
    if (Kind == QLatin1String("star")) {
        layoutFor(size, size);
        BusyCursor busy;
        lastStatus_ = SynthesizePupil(s, 555);
        ComputeStarImage();
        eyepieceReadout();
    } else if (Kind == QLatin1String("intra")) {
        computeIntra(true);
    }
    showPicture();
    logEnd(start);
    if (!lastStatus_)
        host_.reportProblem(QString::fromStdString(lastStatus_.message));
}

QString TMDIImage::caption() const
{
    return host_.scopeName(host_.currentScope()) + QStringLiteral(" (") +
           QString::number(Nint(host_.state().ViewMagnification)) + QStringLiteral("x )");
}

void TMDIImage::layoutFor(int w, int h)
{
    setFixedSize(clientSizeFor(w, h));
    DisplayImage_->setGeometry(32, 23, w, h);
    SpeedBar1_->setGeometry(0, 23, 32, h);
    Zoom_->setGeometry(32, 2, std::max(0, w - 65), 19);
    if (Kind == QLatin1String("intra")) {
        ImageSpinControl_->setGeometry(32, 0, 60, 22);
        RxSlider1_->setGeometry(96, 2, std::max(40, w - 70), 19);
    } else {
        ImageSpinControl_->setGeometry(std::max(32, w - 30), 0, 60, 22);
    }
    TelescopeLabel_->setGeometry(36, 25, std::max(0, w - 8), 16);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->adjustSize();
}

void TMDIImage::eyepieceReadout()
{
    const SimState& s = host_.state();
    const double f = s.Params[prmFocalRatio].Value;
    const double d = s.panel.ApertureSpin;
    const double denominator = Zoom_->value() * s.ViewMagnification * 0.004;
    if (!(denominator > 0.0))
        return;
    const long e = Nint(f * (d * 10.0) / denominator);
    // Long eyepieces of low magnifications must show, not clamp at the spin's default limit.
    ImageSpinControl_->setMaximum(std::max(10.0, e * 0.1));
    ImageSpinControl_->setValue(e * 0.1);
}

// Keeps the figures of the star just computed and hands them to the open plot
// windows; the MTF transform reuses the intensity the star left in SpecRe.
void TMDIImage::recordStar()
{
    SimState& s = host_.state();
    if (!PsfPlane)
        PsfPlane = std::make_unique<Plane>();
    PsfPlane->copyFrom(s.PsfImage);
    PsfPeak = s.LastPsfMax;
    PsfSampleCount = s.PupilSampleCount;
    MtfComputed = host_.mtfFormOpen();
    if (host_.psfFormOpen())
        host_.fillPsfWindows(s.PsfImage, s.LastPsfMax, s.PupilSampleCount);
    if (host_.mtfFormOpen()) {
        mtfCurves = ComputeMtf(s);
        host_.fillMtfWindows(mtfCurves, true);
    }
}

void TMDIImage::ComputeStarImage()
{
    SimState& s = host_.state();
    TransformPupil(s);
    recordStar();
    const int size = ImageSize;
    displayImage_ = DibSquare(s, size, 255 - size / 2);
    spareImage_ = StarPicture(s, size);
}

void TMDIImage::computeIntra(bool creation)
{
    SimState& s = host_.state();
    const int size = ImageSize;
    if (creation) {
        ImageSpinControl_->show();
        Zoom_->hide();
        TelescopeLabel_->setText(QStringLiteral("Focus (waves)"));
        TelescopeLabel_->show();
        RxSlider1_->show();
        ImageSpinControl_->setToolTip(QStringLiteral("Defocus in waves"));
    }
    layoutFor(2 * size, size);
    BusyCursor busy;
    PairResult pair = IntraExtraPair(s, size, ImageSpinControl_->value());
    lastStatus_ = pair.status;
    // The pair's last star (-defocus) is the one the plot windows see.
    recordStar();
    displayImage_ = pair.picture;
    spareImage_ = pair.picture;
}

void TMDIImage::UpdateImage()
{
    SimState& s = host_.state();
    const qint64 start = TimeOfDayMs();
    host_.log(QStringLiteral("Update ") + Kind + QLatin1Char(' ') + QString::number(s.FftSize));
    const QString newCaption = caption();
    setWindowTitle(newCaption);
    emit captionChanged(newCaption);
    ScopeNumber = host_.currentScope();
    ParamsSnapshot = host_.scopeParams(ScopeNumber);
    host_.markScopeSelected(ScopeNumber);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        host_.setNextWindowPosition(sub->pos());

    if (Kind == QLatin1String("star")) {
        layoutFor(ImageSize, ImageSize);
        BusyCursor busy;
        BuildBitRevTable(s);
        lastStatus_ = SynthesizePupil(s, 555);
        ComputeStarImage();
        ApplyColourBalance();
    } else if (Kind == QLatin1String("intra")) {
        computeIntra(false);
        ApplyColourBalance();
    }
    showPicture();
    logEnd(start);
    if (!lastStatus_)
        host_.reportProblem(QString::fromStdString(lastStatus_.message));
}

void TMDIImage::ApplyColourBalance()
{
    const ColourLevels l = host_.colourLevels();
    RedLevel = l.red;
    GreenLevel = l.green;
    BlueLevel = l.blue;
    LuminosityLevel = l.luminosity;
    displayImage_ = ColourBalanced(spareImage_, l);
    showPicture();
}

void TMDIImage::FormActivate()
{
    if (Kind != QLatin1String("planet")) {
        host_.selectScope(ScopeNumber);
        ColourLevels l = host_.colourLevels();
        l.red = RedLevel;
        l.green = GreenLevel;
        l.blue = BlueLevel;
        l.luminosity = LuminosityLevel;
        host_.showColourLevels(l, Dimming);
    }
    if (host_.psfFormOpen() && PsfPlane)
        host_.fillPsfWindows(*PsfPlane, float(PsfPeak), PsfSampleCount);
    if (host_.mtfFormOpen())
        host_.fillMtfWindows(mtfCurves, false);
    if (Kind != QLatin1String("planet"))
        host_.markScopeSelected(ScopeNumber);
}

void TMDIImage::showPicture()
{
    DisplayImage_->setPixmap(QPixmap::fromImage(displayImage_));
}

void TMDIImage::logEnd(qint64 startMs)
{
    host_.log(QStringLiteral("End of Simulation :") + QString::number(TimeOfDayMs() - startMs) +
              QStringLiteral(" ms"));
}

void TMDIImage::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        host_.state().AbortRequested = true;
    QWidget::keyPressEvent(event);
}

} // namespace qm
