// The image commands of the main window: the pictures, their placement, the
// update of the active picture, Calculate all, and the MTF and PSF/EE windows.
#include "app/mainwindow.h"

#include "analysis/chromacontrol.h"
#include "analysis/d3wavefront.h"
#include "analysis/slicewindow.h"
#include "analysis/mtfwindow.h"
#include "analysis/psfwindow.h"
#include "app/telescopepanel.h"
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/pupil.h"
#include "imagewin/childimage.h"

#include <QDockWidget>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace qm {

namespace {

// Calls back on every resize of the watched widget.
class SizeWatcher : public QObject {
public:
    SizeWatcher(QObject* parent, std::function<void(QSize)> onResize)
        : QObject(parent), onResize_(std::move(onResize)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Resize)
            onResize_(static_cast<QWidget*>(watched)->size());
        return false;
    }

private:
    std::function<void(QSize)> onResize_;
};

// A plot window is never made smaller than this, whatever arranges it, and is
// wide enough for its caption.
constexpr QSize kPlotMinimum(240, 180);

void fitCaption(QMdiSubWindow* sub, const QString& caption)
{
    // Room for the icon and the title bar's buttons besides the text.
    const int needed = sub->fontMetrics().horizontalAdvance(caption) + 96;
    sub->setMinimumWidth(std::max(kPlotMinimum.width(), needed));
}

} // namespace

void TMainForm::synthesize()
{
    // A refusal is reported by the window that computes the picture.
    SynthesizePupil(state_, 555);
    panel_->showMisalignment();
}

void TMainForm::placeBeside()
{
    if (mdi_->subWindowList().isEmpty())
        NextWindowLeft = 0;
    NextWindowTop = 0;
    QMdiSubWindow* active = mdi_->activeSubWindow();
    if (active && qobject_cast<TMDIImage*>(active->widget())) {
        const QRect a = active->geometry();
        NextWindowLeft = a.x() + a.width();
        NextWindowTop = a.y();
        if (mdi_->viewport()->width() - a.width() < NextWindowLeft) {
            NextWindowLeft = 0;
            NextWindowTop += a.height();
        }
    }
}

void TMainForm::imageCommand(PictureKind kind, bool rebuildTable)
{
    if (busy_)
        return;
    if (rebuildTable)
        BuildBitRevTable(state_);
    const Status st = SynthesizePupil(state_, 555);
    panel_->showMisalignment();
    if (!st) {
        // Nothing to draw: say why instead of opening a black window.
        reportProblem(QString::fromStdString(st.message));
        return;
    }
    ImageKind = kind;
    placeBeside();
    CreateImageWindow(kind);
}

TMDIImage* TMainForm::CreateImageWindow(PictureKind kind)
{
    auto* image = new TMDIImage(kind, imageLinks());
    QMdiSubWindow* sub = mdi_->addSubWindow(image);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    sub->adjustSize();
    sub->move(NextWindowLeft, NextWindowTop);
    sub->setWindowTitle(image->caption());
    connect(image, &TMDIImage::captionChanged, sub, &QWidget::setWindowTitle);
    connect(sub, &QObject::destroyed, this, [this] {
        // Any picture closing while the kind in use is the double star hides its tool.
        if (ImageKind == PictureKind::Double && DoubleStarTool_)
            DoubleStarTool_->hide();
        UpdateMenuItems();
    });
    sub->show();
    lastActiveImage_ = sub;
    if (image->traits().doubleStarTable)
        showDoubleStarTool(image);
    panel_->SelectScope(panel_->CurrentScope);
    keepPlotWindowsInView();
    UpdateMenuItems();
    return image;
}

// New pictures must not bury the plot windows that describe them.
void TMainForm::keepPlotWindowsInView()
{
    for (QWidget* form : {static_cast<QWidget*>(mtf_.data()), static_cast<QWidget*>(psf_.data())})
        if (form)
            if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
                sub->raise();
}

void TMainForm::subWindowActivated(QMdiSubWindow* sub)
{
    UpdateMenuItems();
    if (!sub)
        return;
    auto* image = qobject_cast<TMDIImage*>(sub->widget());
    if (!image)
        return;
    // Focus coming back to the same picture (after a tool window or the log was
    // used) leaves the panel on the telescope the user chose meanwhile.
    if (sub == lastActiveImage_)
        return;
    lastActiveImage_ = sub;
    image->FormActivate();
}

void TMainForm::arrange(const std::function<void()>& how)
{
    arranging_ = true;
    how();
    arranging_ = false;
}

QMdiSubWindow* TMainForm::openOnce(bool& openFlag, const std::function<QWidget*()>& make,
                                   const char* subWindowName, Qt::WindowFlags flags)
{
    if (openFlag)
        return nullptr;
    QWidget* form = make();
    QMdiSubWindow* sub = mdi_->addSubWindow(form, flags);
    sub->setObjectName(QString::fromLatin1(subWindowName));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(form->windowTitle());
    sub->setMinimumSize(kPlotMinimum);
    openFlag = true;
    connect(sub, &QObject::destroyed, this, [this, &openFlag] {
        openFlag = false;
        UpdateMenuItems();
    });
    return sub;
}

void TMainForm::StarImageButtonClick()
{
    imageCommand(PictureKind::Star, true);
}

void TMainForm::RxSpeedButton2Click()
{
    imageCommand(PictureKind::Intra, true);
}

void TMainForm::RxSpeedButton1Click()
{
    imageCommand(PictureKind::Double, true);
}

void TMainForm::PlanetImageButtonClick()
{
    if (busy_)
        return;
    const QString start = settings_->read(QStringLiteral("ImageDirectory")).value_or(QString());
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Load a planetary image"), start,
        QStringLiteral("JPEG (*.jpg *.JPG *.jpeg);;BMP (*.bmp *.BMP);;TIFF (*.tif *.TIF *.tiff);;PNG (*.png *.PNG)"));
    if (file.isEmpty())
        return;
    openPlanetFile(file);
}

void TMainForm::openPlanetFile(const QString& file)
{
    settings_->write(QStringLiteral("ImageDirectory"), QFileInfo(file).absolutePath() + QLatin1Char('/'));
    ImageKind = PictureKind::Planet;
    PlanetFile = file;
    // Below the active picture, at the left edge.
    if (mdi_->subWindowList().isEmpty())
        NextWindowLeft = 0;
    NextWindowTop = 0;
    if (QMdiSubWindow* active = mdi_->activeSubWindow(); active && qobject_cast<TMDIImage*>(active->widget())) {
        NextWindowTop = active->height();
        NextWindowLeft = 0;
    }
    CreateImageWindow(PictureKind::Planet);
}

void TMainForm::openPlanetView(const QString& file, double resolution)
{
    ImageKind = PictureKind::Quil;
    PlanetFile = file;
    PlanetResolution = resolution;
    placeBeside();
    CreateImageWindow(PictureKind::Quil);
}

void TMainForm::RxSpeedButton3Click()
{
    imageCommand(PictureKind::Chroma, true);
}

void TMainForm::AllScopeButtonClick()
{
    if (busy_)
        return;
    BuildBitRevTable(state_);
    synthesize();
    updateImagesOfCurrentScope(true);
}

void TMainForm::updateImagesOfCurrentScope(bool withWave3d)
{
    const auto subs = mdi_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
        QPointer<QMdiSubWindow> sub = *it;
        if (!sub)
            continue;
        if (auto* image = qobject_cast<TMDIImage*>(sub->widget())) {
            if (image->ScopeNumber == panel_->CurrentScope)
                image->UpdateImage();
        } else if (auto* wave = qobject_cast<TD3Wave*>(sub->widget()); wave && withWave3d) {
            wave->Wave3dUpdateButtonClick();
        }
    }
}

TSliceForm* TMainForm::sliceForm() const
{
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* form = qobject_cast<TSliceForm*>(sub->widget()))
            return form;
    return nullptr;
}

TD3Wave* TMainForm::wave3dForm() const
{
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* form = qobject_cast<TD3Wave*>(sub->widget()))
            return form;
    return nullptr;
}

void TMainForm::refreshWave3d()
{
    if (!D3WaveOpen)
        return;
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* form = qobject_cast<TD3Wave*>(sub->widget()))
            form->Wave3dUpdateButtonClick();
}

void TMainForm::RxSpeedButton8Click()
{
    if (busy_)
        return;
    QMdiSubWindow* sub = openOnce(SliceFormOpen, [this] {
        return static_cast<QWidget*>(new TSliceForm(state_, *this, *this));
    }, "SliceSubWindow");
    if (!sub)
        return;
    auto* form = static_cast<TSliceForm*>(sub->widget());
    connect(form, &TSliceForm::captionChanged, sub, [sub](const QString& caption) {
        sub->setWindowTitle(caption);
        fitCaption(sub, caption);
    });
    // The window takes the size of its new picture, frame included.
    connect(form, &TSliceForm::sizeWanted, sub, [this, sub, form](const QSize& client) {
        const QSize frame = sub->size() - form->size();
        arrange([&] { sub->resize(client.expandedTo(form->minimumSize()) + frame); });
    });
    sub->show();
    const QSize frame = sub->size() - form->size();
    arrange([&] { sub->resize(QSize(342, 247) + frame); });
    UpdateMenuItems();
}

void TMainForm::N3dWavefront1Click()
{
    QMdiSubWindow* sub = openOnce(D3WaveOpen, [this] { return static_cast<QWidget*>(new TD3Wave(state_)); },
                                  "D3WaveSubWindow");
    if (!sub)
        return;
    sub->show();
    auto* form = sub->widget();
    const QSize frame = sub->size() - form->size();
    arrange([&] { sub->resize(QSize(377, 348) + frame); });
    UpdateMenuItems();
}

void TMainForm::RxSpeedButton6Click()
{
    OPDFilesTool_->setVisible(!OPDFilesTool_->isVisible());
    if (OPDFilesTool_->isVisible())
        OPDFilesTool_->raise();
}

void TMainForm::PointAtClick()
{
    if (busy_)
        return;
    BuildBitRevTable(state_);
    synthesize();
    storeScopeParams(panel_->CurrentScope, state_.Params);
    if (TMDIImage* image = activeImage())
        image->UpdateImage();
}

void TMainForm::RxSpeedButton5Click()
{
    if (busy_)
        return;
    // The image to deliver MTF data is the one active before the window opens.
    TMDIImage* image = activeImage();
    const Qt::WindowFlags frame = Qt::SubWindow | Qt::WindowSystemMenuHint |
                                  Qt::WindowMinimizeButtonHint | Qt::WindowTitleHint;
    if (QMdiSubWindow* sub = openOnce(MtfFormOpen, [] { return static_cast<QWidget*>(new TMTFForm); },
                                      "MtfSubWindow", frame)) {
        mtf_ = static_cast<TMTFForm*>(sub->widget());
        sub->setWindowTitle(QStringLiteral("MTFForm"));
        connect(mtf_, &TMTFForm::captionChanged, sub, [sub](const QString& caption) {
            sub->setWindowTitle(caption);
            fitCaption(sub, caption);
        });
        // The first size and the events of showing are not the user's.
        arrange([&] {
            sub->resize(MtfToolWidth, MtfToolHeight);
            sub->show();
        });
        // Only the user's own resizing is remembered, not an arrangement or the
        // minimum a too small stored size was raised to.
        sub->installEventFilter(new SizeWatcher(sub, [this, sub](QSize size) {
            if (arranging_ || sub->isMinimized() || sub->isMaximized() || sub->isShaded())
                return;
            if (size.width() == MtfToolWidth && size.height() == MtfToolHeight)
                return;
            MtfToolWidth = size.width();
            MtfToolHeight = size.height();
            WriteMtfToolSize(*settings_, MtfToolWidth, MtfToolHeight);
        }));
        UpdateMenuItems();
    }
    if (MtfFormOpen && image && !image->MtfComputed) {
        auto* imageSub = qobject_cast<QMdiSubWindow*>(image->parentWidget());
        mdi_->setActiveSubWindow(imageSub);
        image->UpdateImage();
    }
}

void TMainForm::RxSpeedButton7Click()
{
    TMDIImage* image = activeImage();
    QMdiSubWindow* sub = openOnce(PsfFormOpen, [] { return static_cast<QWidget*>(new TPSFFORM); },
                                  "PsfSubWindow");
    if (!sub)
        return;
    psf_ = static_cast<TPSFFORM*>(sub->widget());
    connect(psf_, &TPSFFORM::captionChanged, sub, [sub](const QString& caption) {
        sub->setWindowTitle(caption);
        fitCaption(sub, caption);
    });
    arrange([&] { sub->resize(256, 256); });
    sub->show();
    UpdateMenuItems();
    // Show the active picture's curves at once.
    if (image && image->PsfPlane)
        fillPsfWindows(*image->PsfPlane, float(image->PsfPeak), image->PsfSampleCount);
}

void TMainForm::CallChromaticControlClick()
{
    QMdiSubWindow* sub = openOnce(ChromaControlsOpen, [this] {
        return static_cast<QWidget*>(new TChromaControls(state_, [this](int index, double value) {
            panel_->ScopeTable[panel_->CurrentScope][index].Value = value;
        }));
    }, "ChromaSubWindow");
    if (!sub)
        return;
    sub->resize(sub->sizeHint().expandedTo(QSize(341, 299)));
    sub->show();
    UpdateMenuItems();
}

void TMainForm::RxSpeedButton4Click()
{
    QDockWidget* tool = ScreenCalibrateTool_;
    tool->setVisible(!tool->isVisible());
    const QSize client = mdi_->size();
    const int left = NintI(client.width() - tool->width() * 1.5) + TelescopeTool_->width();
    const int top = NintI(client.height() - tool->height() * 1.5) + 130;
    tool->move(mapToGlobal(QPoint(std::max(0, left), std::max(0, top))));
}

} // namespace qm
