// The image commands of the main window: the pictures, their placement, the
// update of the active picture, Calculate all, and the MTF and PSF/EE windows.
#include "app/mainwindow.h"

#include "analysis/mtfwindow.h"
#include "analysis/psfwindow.h"
#include "app/telescopepanel.h"
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/pupil.h"
#include "imagewin/childimage.h"

#include <QDockWidget>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace qm {

namespace {

// Writes the MTF window's size to the settings whenever the user resizes it.
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

} // namespace

void TMainForm::synthesize()
{
    // A refusal is reported by the window that computes the picture.
    SynthesizePupil(*state_, 555);
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

void TMainForm::imageCommand(const QString& kind, bool rebuildTable)
{
    if (rebuildTable)
        BuildBitRevTable(*state_);
    const Status st = SynthesizePupil(*state_, 555);
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

TMDIImage* TMainForm::CreateImageWindow(const QString& kind)
{
    auto* image = new TMDIImage(*this);
    QMdiSubWindow* sub = mdi_->addSubWindow(image);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    sub->adjustSize();
    sub->move(NextWindowLeft, NextWindowTop);
    const QString caption = kind == QLatin1String("planet")
                                ? QStringLiteral("planetoriginal")
                                : panel_->scopeName(panel_->CurrentScope) + QStringLiteral(" (") +
                                      QString::number(Nint(state_->ViewMagnification)) + QStringLiteral("x )");
    sub->setWindowTitle(caption);
    connect(image, &TMDIImage::captionChanged, sub, &QWidget::setWindowTitle);
    connect(sub, &QObject::destroyed, this, [this] { UpdateMenuItems(); });
    sub->show();
    panel_->SelectScope(panel_->CurrentScope);
    image->Kind = kind;
    image->ScopeNumber = panel_->CurrentScope;
    UpdateMenuItems();
    return image;
}

void TMainForm::StarImageButtonClick()
{
    imageCommand(QStringLiteral("star"), true);
}

void TMainForm::RxSpeedButton2Click()
{
    imageCommand(QStringLiteral("intra"), true);
}

void TMainForm::AllScopeButtonClick()
{
    BuildBitRevTable(*state_);
    synthesize();
    updateImagesOfCurrentScope();
}

void TMainForm::updateImagesOfCurrentScope()
{
    const auto subs = mdi_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        if (auto* image = qobject_cast<TMDIImage*>((*it)->widget()))
            if (image->ScopeNumber == panel_->CurrentScope)
                image->UpdateImage();
}

void TMainForm::PointAtClick()
{
    BuildBitRevTable(*state_);
    synthesize();
    storeScopeParams(panel_->CurrentScope, state_->Params);
    if (TMDIImage* image = activeImage())
        image->UpdateImage();
}

void TMainForm::RxSpeedButton5Click()
{
    // The image to deliver MTF data is the one active before the window opens.
    TMDIImage* image = activeImage();
    if (!MtfFormOpen) {
        mtf_ = new TMTFForm;
        QMdiSubWindow* sub = mdi_->addSubWindow(mtf_, Qt::SubWindow | Qt::WindowSystemMenuHint |
                                                          Qt::WindowMinimizeButtonHint | Qt::WindowTitleHint);
        sub->setObjectName(QStringLiteral("MtfSubWindow"));
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(QStringLiteral("MTFForm"));
        connect(mtf_, &TMTFForm::captionChanged, sub, &QWidget::setWindowTitle);
        MtfFormOpen = true;
        connect(sub, &QObject::destroyed, this, [this] {
            MtfFormOpen = false;
            UpdateMenuItems();
        });
        sub->resize(MtfToolWidth, MtfToolHeight);
        sub->installEventFilter(new SizeWatcher(sub, [this](QSize size) {
            if (size.width() == MtfToolWidth && size.height() == MtfToolHeight)
                return;
            MtfToolWidth = size.width();
            MtfToolHeight = size.height();
            settings_->write(QStringLiteral("MTFToolWidth"), QString::number(MtfToolWidth));
            settings_->write(QStringLiteral("MTFtoolheight"), QString::number(MtfToolHeight));
        }));
        sub->show();
        UpdateMenuItems();
    }
    if (MtfFormOpen && image && !image->MtfComputed) {
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(image->parentWidget()));
        image->UpdateImage();
    }
}

void TMainForm::RxSpeedButton7Click()
{
    if (PsfFormOpen)
        return;
    TMDIImage* image = activeImage();
    psf_ = new TPSFFORM;
    QMdiSubWindow* sub = mdi_->addSubWindow(psf_);
    sub->setObjectName(QStringLiteral("PsfSubWindow"));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(psf_->windowTitle());
    connect(psf_, &TPSFFORM::captionChanged, sub, &QWidget::setWindowTitle);
    PsfFormOpen = true;
    connect(sub, &QObject::destroyed, this, [this] {
        PsfFormOpen = false;
        UpdateMenuItems();
    });
    sub->resize(256, 256);
    sub->show();
    UpdateMenuItems();
    // Show the active picture's curves at once.
    if (image && image->PsfPlane)
        fillPsfWindows(*image->PsfPlane, float(image->PsfPeak), image->PsfSampleCount);
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
