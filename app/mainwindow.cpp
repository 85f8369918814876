#include "app/mainwindow.h"

#include "analysis/mtfwindow.h"
#include "analysis/psfwindow.h"
#include "app/calibration.h"
#include "app/doublestartool.h"
#include "app/opdtool.h"
#include "app/imagesetting.h"
#include "app/platform.h"
#include "app/telescopepanel.h"
#include "engine/fft.h"
#include "engine/nint.h"
#include "engine/psf.h"
#include "engine/pupil.h"
#include "imagewin/childimage.h"
#include "imagewin/glyphs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace qm {

namespace {

const char* const kCaption = "Quillmere Version 3.0 beta update 1 20010329";

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& caption, const char* glyph,
                        const QString& hint)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(Glyph(glyph));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumWidth(48);
    b->setMaximumWidth(66);
    if (!hint.isEmpty()) {
        b->setToolTip(hint);
        b->setStatusTip(hint);
    }
    bar->addWidget(b);
    return b;
}

QDockWidget* toolWindow(QMainWindow* owner, const char* name, const QString& caption, QWidget* content)
{
    auto* d = new QDockWidget(caption, owner);
    d->setObjectName(name);
    d->setWidget(content);
    return d;
}

// The picture across the top of the intro window: a telescope's view of a star
// field, drawn by the program.
QPixmap introPicture()
{
    QPixmap pm(353, 150);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor(5, 8, 30));
    sky.setColorAt(1, QColor(25, 35, 80));
    p.fillRect(pm.rect(), sky);
    quint32 seed = 12345;
    auto next = [&seed] { seed = seed * 1664525u + 1013904223u; return seed >> 8; };
    for (int i = 0; i < 120; ++i) {
        const int x = int(next() % 353), y = int(next() % 150);
        const int g = 120 + int(next() % 135);
        p.setPen(QColor(g, g, g));
        p.drawPoint(x, y);
    }
    QRadialGradient star(QPointF(176, 75), 40);
    star.setColorAt(0, Qt::white);
    star.setColorAt(0.1, QColor(255, 240, 200));
    star.setColorAt(0.3, QColor(255, 200, 120, 120));
    star.setColorAt(1, Qt::transparent);
    p.setBrush(star);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(176, 75), 40, 40);
    p.setPen(QPen(QColor(255, 220, 160, 140), 1));
    p.setBrush(Qt::NoBrush);
    for (int r = 12; r <= 36; r += 8)
        p.drawEllipse(QPointF(176, 75), r, r);
    return pm;
}

const QStringList kAcknowledgements = {
    QStringLiteral("Thanks to every telescope maker who sent star tests to compare with."),
    QStringLiteral("Diffraction after Airy, Fraunhofer and Fourier."),
    QStringLiteral("Seeing after Kolmogorov, drawn by midpoint displacement."),
    QStringLiteral("Thanks to the testers of the beta releases."),
};
const QString kQuotation =
    QStringLiteral("\"The star test is the most sensitive test of an optical system that an amateur can make.\"");

} // namespace

TMainForm::TMainForm(SimState& state, std::unique_ptr<SettingsStore> settings, QWidget* parent)
    : QMainWindow(parent), state_(state),
      settings_(settings ? std::move(settings) : std::make_unique<SettingsStore>())
{
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QString::fromLatin1(kCaption));
    QFont f(QStringLiteral("Arial"), 8);
    setFont(f);
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("MdiArea"));
    // Pictures that run past the edge of the area can be scrolled to.
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    resize(800, 561 + 57 + 40);

    state_.onLog = [this](const std::string& line) { log(QString::fromStdString(line)); };
    state_.onHideIntro = [this] {
        if (AboutWindow_)
            AboutWindow_->hide();
    };

    buildToolWindows();
    buildToolBar();
    buildMenus();

    hintPanel_ = new QLabel(this);
    hintPanel_->setObjectName(QStringLiteral("HintPanel"));
    hintPanel_->setFixedWidth(200);
    hintPanel_->setAlignment(Qt::AlignCenter);
    hintPanel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    memoryPanel_ = new QLabel(QStringLiteral("Memorystatus"), this);
    memoryPanel_->setObjectName(QStringLiteral("MemoryPanel"));
    memoryPanel_->setMinimumWidth(100);
    statusBar()->addWidget(hintPanel_);
    statusBar()->addWidget(memoryPanel_, 1);

    connect(mdi_, &QMdiArea::subWindowActivated, this, &TMainForm::subWindowActivated);

    FormCreate();
}

TMainForm::~TMainForm()
{
    // Closing the children while the frame goes away must not call back into it.
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        sub->disconnect(this);
    mdi_->disconnect(this);
    state_.onLog = nullptr;
    state_.onHideIntro = nullptr;
}

void TMainForm::FormCreate()
{
    // 1.
    MtfFormOpen = PsfFormOpen = D3WaveOpen = SliceFormOpen = ChromaControlsOpen = false;
    state_.FftSize = 512;
    NextWindowLeft = NextWindowTop = 0;
    state_.ArcsecPerPixel = 0.1;
    // 2.
    panel_->ApertureSpin->setValue(100);
    state_.Params[prmAperture].Value = panel_->ApertureSpin->value();
    state_.Params[prmResolution].Value = panel_->ResolutionSpin->value();
    state_.MaxAperture = MaxApertureFor(1.0 / state_.ArcsecPerPixel);
    // 4.
    BuildBitRevTable(state_);
    BuildGammaTable(state_);
    state_.FftSign = 1;
    // 7.
    MtfToolWidth = MtfToolHeight = 256;
    // 8, 9. A remembered folder that is gone leaves the lists on the current one.
    readSettings();
    if (!OpdDirectory.isEmpty() && !opdFiles_->setDirectory(OpdDirectory))
        log(QStringLiteral("The OPD folder \"%1\" is not there; showing \"%2\".")
                .arg(OpdDirectory, opdFiles_->directory()));
    // 10.
    calibration_->Shape1->setFixedWidth(calibration_->RxSlider1->value());
    calibration_->RxLabel13->setText(QString::number(calibration_->RxSlider1->value()));
    // 11.
    state_.PlanetChannel = 0;
    state_.OpdChannel = 0;
    // 12.
    panel_->AddscopeButtonClick();
    // The double stars of the current folder, else the list shipped beside the program.
    for (const QString& folder : {QDir::currentPath(), QCoreApplication::applicationDirPath()}) {
        const QString list = QDir(folder).filePath(QStringLiteral("doubles.csv"));
        if (QFileInfo(list).isFile() && doubleStars_->loadFile(list))
            break;
    }
    // 13.
    state_.SelectedWavelengths.fill(false);
    for (int nm : {486, 546, 656})
        state_.SelectedWavelengths[nm - 400] = true;
    UpdateMenuItems();
}

void TMainForm::readSettings()
{
    auto number = [this](const char* name) -> std::optional<double> {
        const auto text = settings_->read(QString::fromLatin1(name));
        if (!text)
            return std::nullopt;
        bool ok = false;
        const double v = text->trimmed().toDouble(&ok);   // always "." as separator
        if (!ok || !std::isfinite(v))
            return std::nullopt;   // a value that is not a number keeps the default
        return v;
    };
    if (auto v = number("Screenresolution"))
        calibration_->RxSlider1->setValue(NintI(*v));
    if (auto v = number("Screendistance"))
        calibration_->ViewDistanceSpin->setValue(*v);
    if (auto v = settings_->read(QStringLiteral("OPDdirectory")))
        OpdDirectory = *v;
    if (auto v = settings_->read(QStringLiteral("ImageDirectory")); v)
        setProperty("ImageDirectory", *v);
    if (auto v = number("MTFtoolwidth"); v && *v >= 1 && *v <= 10000)
        MtfToolWidth = NintI(*v);
    if (auto v = number("MTFtoolheight"); v && *v >= 1 && *v <= 10000)
        MtfToolHeight = NintI(*v);
    if (auto v = number("Gamma"))
        calibration_->GammaSpin->setValue(*v);
    if (auto v = number("GammaSlope"))
        calibration_->GammaSlopeSpin->setValue(*v);
}

void TMainForm::buildToolBar()
{
    auto* bar = addToolBar(QStringLiteral("Image commands"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setFixedHeight(57);
    // Glyph and two caption lines ("Monitor", "Calibrate") within the 57 pixels.
    bar->setIconSize(QSize(20, 20));
    auto* star = toolButton(bar, "StarImageButton", QStringLiteral("Star"), "star",
                            QStringLiteral("Create a Star-Test Image"));
    auto* chroma = toolButton(bar, "RxSpeedButton3", QStringLiteral("Chroma"), "chroma",
                              QStringLiteral("Create a chromatic startest image"));
    auto* dbl = toolButton(bar, "RxSpeedButton1", QStringLiteral("Double"), "double",
                           QStringLiteral("Create a double star image"));
    auto* intra = toolButton(bar, "RxSpeedButton2", QStringLiteral("Intra/Extra"), "intra",
                             QStringLiteral("Create Intra/Extra focal images"));
    auto* planet = toolButton(bar, "PlanetImageButton", QStringLiteral("Planet"), "planet",
                              QStringLiteral("Load a planetary image"));
    auto* slice = toolButton(bar, "RxSpeedButton8", QStringLiteral("Slice"), "slice",
                             QStringLiteral("Show a sideview"));
    auto* wave = toolButton(bar, "WaveFrontButton", QStringLiteral("Wave"), "wave",
                            QStringLiteral("Wavefront images"));
    auto* opd = toolButton(bar, "RxSpeedButton6", QStringLiteral("OPD"), "opd",
                           QStringLiteral("Load Optical Path Difference Data"));
    auto* mtf = toolButton(bar, "RxSpeedButton5", QStringLiteral("MTF"), "mtf", {});
    auto* psf = toolButton(bar, "RxSpeedButton7", QStringLiteral("PSF/EE"), "psf", {});
    auto* monitor = toolButton(bar, "RxSpeedButton4", QStringLiteral("Monitor\nCalibrate"), "monitor",
                               QStringLiteral("Calibrate the Monitor"));
    auto* waveMenu = new QMenu(wave);
    waveMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* waveItem = waveMenu->addAction(QStringLiteral("&Wavefront"));
    waveItem->setObjectName(QStringLiteral("WaveMenuitem"));
    QAction* wave3d = waveMenu->addAction(QStringLiteral("3d Wavefront"));
    wave3d->setObjectName(QStringLiteral("N3dWavefront1"));
    QAction* interItem = waveMenu->addAction(QStringLiteral("&Interferometric"));
    interItem->setObjectName(QStringLiteral("Interferomenuitem"));
    connect(waveItem, &QAction::triggered, this, [this] { imageCommand(PictureKind::Wave, false); });
    connect(wave3d, &QAction::triggered, this, &TMainForm::N3dWavefront1Click);
    connect(interItem, &QAction::triggered, this, [this] { imageCommand(PictureKind::Inter, false); });
    wave->setMenu(waveMenu);
    wave->setPopupMode(QToolButton::InstantPopup);
    connect(planet, &QToolButton::clicked, this, &TMainForm::PlanetImageButtonClick);
    connect(slice, &QToolButton::clicked, this, &TMainForm::RxSpeedButton8Click);
    connect(opd, &QToolButton::clicked, this, &TMainForm::RxSpeedButton6Click);
    connect(dbl, &QToolButton::clicked, this, &TMainForm::RxSpeedButton1Click);
    connect(star, &QToolButton::clicked, this, &TMainForm::StarImageButtonClick);
    connect(chroma, &QToolButton::clicked, this, &TMainForm::RxSpeedButton3Click);
    connect(intra, &QToolButton::clicked, this, &TMainForm::RxSpeedButton2Click);
    connect(mtf, &QToolButton::clicked, this, &TMainForm::RxSpeedButton5Click);
    connect(psf, &QToolButton::clicked, this, &TMainForm::RxSpeedButton7Click);
    connect(monitor, &QToolButton::clicked, this, &TMainForm::RxSpeedButton4Click);
    // The bar is 57 pixels high unless the fonts of this machine need more for
    // a glyph and two caption lines.
    int tallest = 0;
    for (QToolButton* b : bar->findChildren<QToolButton*>())
        tallest = std::max(tallest, b->sizeHint().height());
    bar->setFixedHeight(std::max(57, tallest + 2 * bar->contentsMargins().top() + 2));
}

void TMainForm::buildMenus()
{
    // A menu title's hint is its action's, which the menu bar shows on hover.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("FileExitItem"));
    exit->setStatusTip(QStringLiteral("Exit the application"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    tools->menuAction()->setStatusTip(QStringLiteral("Tool windows"));
    QAction* chroma = tools->addAction(QStringLiteral("Chromatic Controls"));
    chroma->setObjectName(QStringLiteral("CallChromaticControl"));
    connect(chroma, &QAction::triggered, this, &TMainForm::CallChromaticControlClick);
    QAction* logItem = tools->addAction(QStringLiteral("LogWindow"));
    logItem->setObjectName(QStringLiteral("LogWindowItem"));
    connect(logItem, &QAction::triggered, this, [this] { Logwindow_->setVisible(!Logwindow_->isVisible()); });

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("WindowMenu"));
    window->menuAction()->setStatusTip(QStringLiteral("Window related commands such as Tile and Cascade"));
    auto item = [&](const char* name, const QString& text, const QString& hint, auto action) {
        QAction* a = window->addAction(text);
        a->setObjectName(name);
        if (!hint.isEmpty())
            a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, action);
        windowItems_ << a;
    };
    auto tile = [this](bool horizontal) {
        const auto subs = mdi_->subWindowList();
        if (subs.isEmpty())
            return;
        const int n = int(subs.size());
        const QSize area = mdi_->viewport()->size();
        for (int i = 0; i < n; ++i) {
            QMdiSubWindow* s = subs[i];
            s->showNormal();
            if (horizontal)
                s->setGeometry(0, i * area.height() / n, area.width(), area.height() / n);
            else
                s->setGeometry(i * area.width() / n, 0, area.width() / n, area.height());
        }
    };
    item("Cascade1", QStringLiteral("&Cascade"), QStringLiteral("Arrange windows to overlap"),
         [this] { arrange([this] { cascade(); }); });
    item("Tile1", QStringLiteral("&Horizontal Tile"), QStringLiteral("Arrange windows without overlap"),
         [this, tile] { arrange([tile] { tile(true); }); });
    item("Tile2", QStringLiteral("&Vertical Tile"), QString(), [this, tile] { arrange([tile] { tile(false); }); });
    item("ArrangeIcons1", QStringLiteral("&Arrange Icons"),
         QStringLiteral("Arrange window icons at bottom of main window"), [this] {
             arrange([this] {
                 int x = 0;
                 for (QMdiSubWindow* s : mdi_->subWindowList())
                     if (s->isMinimized()) {
                         s->move(x, mdi_->viewport()->height() - s->height());
                         x += s->width();
                     }
             });
         });
    item("MinimizeAll1", QStringLiteral("&Minimize All"), QStringLiteral("Minimize all windows"), [this] {
        arrange([this] {
            const auto subs = mdi_->subWindowList(QMdiArea::CreationOrder);
            for (auto it = subs.rbegin(); it != subs.rend(); ++it)
                (*it)->showMinimized();
        });
    });
    window->addSeparator();
    // The list of open child windows, rebuilt each time the menu opens.
    connect(window, &QMenu::aboutToShow, this, [this, window] {
        for (QAction* a : window->actions())
            if (a->property("childWindow").isValid())
                window->removeAction(a);
        int i = 1;
        for (QMdiSubWindow* s : mdi_->subWindowList(QMdiArea::CreationOrder)) {
            QAction* a = window->addAction(QStringLiteral("&%1 %2").arg(i++).arg(s->windowTitle()));
            a->setProperty("childWindow", true);
            a->setCheckable(true);
            a->setChecked(s == mdi_->activeSubWindow());
            connect(a, &QAction::triggered, this, [this, s] { mdi_->setActiveSubWindow(s); });
        }
    });

    QAction* about = menuBar()->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("AboutItem"));
    about->setStatusTip(QStringLiteral("About Box"));
    connect(about, &QAction::triggered, this, [this] {
        if (auto* text = AboutWindow_->findChild<QLabel*>(QStringLiteral("ScrollText")))
            text->setText(kQuotation);
        AboutWindow_->show();
    });
}

void TMainForm::buildToolWindows()
{
    panel_ = new TelescopePanel(state_);
    TelescopeTool_ = toolWindow(this, "TelescopeTool", QString(), panel_);
    TelescopeTool_->setFeatures(QDockWidget::NoDockWidgetFeatures);
    TelescopeTool_->setTitleBarWidget(new QWidget(TelescopeTool_));
    addDockWidget(Qt::LeftDockWidgetArea, TelescopeTool_);
    connect(panel_, &TelescopePanel::calculateAllRequested, this, &TMainForm::AllScopeButtonClick);
    connect(panel_, &TelescopePanel::fftSizeChanged, this, [this] { updateImagesOfCurrentScope(); });

    colorTool_ = new ImageSettingTool;
    ColorTool_ = toolWindow(this, "ColorToolWindow", QStringLiteral("Image Setting"), colorTool_);
    addDockWidget(Qt::LeftDockWidgetArea, ColorTool_);
    ColorTool_->hide();
    connect(colorTool_, &ImageSettingTool::levelsChanged, this, &TMainForm::LRGBChange);
    connect(colorTool_, &ImageSettingTool::dimmingClicked, this, &TMainForm::CheckBox1Click);

    // Intro window.
    auto* intro = new QWidget;
    auto* il = new QVBoxLayout(intro);
    auto* picture = new QLabel;
    picture->setPixmap(introPicture());
    il->addWidget(picture);
    auto* version = new QLabel(QStringLiteral("Version 3.0 beta\nupdate 2\n23 april 2001"));
    version->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    il->addWidget(version);
    auto* credit = new QPushButton(QStringLiteral("Quillmere - a star test simulator"));
    credit->setObjectName(QStringLiteral("Panel1"));
    credit->setCursor(Qt::PointingHandCursor);
    il->addWidget(credit);
    auto* scroll = new QLabel(kAcknowledgements.first());
    scroll->setObjectName(QStringLiteral("ScrollText"));
    scroll->setWordWrap(true);
    il->addWidget(scroll, 1);
    connect(credit, &QPushButton::clicked, this, [credit, this] {
        credit->setText(QStringLiteral("Who told you to click on this bar !"));
        if (auto* text = AboutWindow_->findChild<QLabel*>(QStringLiteral("ScrollText")))
            text->setText(kQuotation);
    });
    AboutWindow_ = toolWindow(this, "AboutWindow", QStringLiteral("Intro Window"), intro);
    AboutWindow_->setFloating(true);
    AboutWindow_->setFixedSize(353, 435);
    AboutWindow_->setAllowedAreas(Qt::NoDockWidgetArea);
    auto* timer = new QTimer(AboutWindow_);
    connect(timer, &QTimer::timeout, scroll, [scroll] {
        const int i = int(kAcknowledgements.indexOf(scroll->text()));
        if (i >= 0)
            scroll->setText(kAcknowledgements[(i + 1) % kAcknowledgements.size()]);
    });
    timer->start(3000);

    calibration_ = new CalibrationTool(state_);
    ScreenCalibrateTool_ = toolWindow(this, "ScreenCalibrateToolWindow",
                                      QStringLiteral("Calibrate Screen Resolution"), calibration_);
    ScreenCalibrateTool_->setFloating(true);
    ScreenCalibrateTool_->resize(433, 369);
    ScreenCalibrateTool_->hide();
    connect(calibration_, &CalibrationTool::saveRequested, this,
            [this] { calibration_->save(*settings_, MtfToolWidth, MtfToolHeight); });

    LogMemo_ = new QPlainTextEdit;
    LogMemo_->setObjectName(QStringLiteral("LogMemo"));
    LogMemo_->setReadOnly(true);
    Logwindow_ = toolWindow(this, "Logwindow", QStringLiteral("Logwindow"), LogMemo_);
    Logwindow_->setFloating(true);
    Logwindow_->hide();
    // Reopened, the log shows its newest line.
    connect(Logwindow_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            LogMemo_->verticalScrollBar()->setValue(LogMemo_->verticalScrollBar()->maximum());
    });

    opdFiles_ = new OPDFilesTool(
        state_, *settings_, [this] { imageCommand(PictureKind::Wave, false); },
        [this](const QString& message) { reportProblem(message); });
    OPDFilesTool_ = toolWindow(this, "OPDFilesToolWindow", opdFiles_->windowTitle(), opdFiles_);
    OPDFilesTool_->setFloating(true);
    OPDFilesTool_->setAllowedAreas(Qt::NoDockWidgetArea);
    OPDFilesTool_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    OPDFilesTool_->hide();

    doubleStars_ = new DoubleStarTool;
    DoubleStarTool_ = toolWindow(this, "DoubleStarTool", doubleStars_->caption(), doubleStars_);
    DoubleStarTool_->setFloating(true);
    DoubleStarTool_->setAllowedAreas(Qt::NoDockWidgetArea);
    DoubleStarTool_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    DoubleStarTool_->hide();
    connect(doubleStars_, &DoubleStarTool::captionChanged, DoubleStarTool_, &QWidget::setWindowTitle);
    connect(doubleStars_, &DoubleStarTool::problem, this, &TMainForm::reportProblem);
    connect(doubleStars_, &DoubleStarTool::cellClicked, this, &TMainForm::doubleStarCellClicked);
    connect(doubleStars_, &DoubleStarTool::updateRequested, this, [this] {
        if (TMDIImage* image = activeImage())
            if (image->Kind == PictureKind::Double)
                image->UpdateImage();
    });

    auto* gauge = new QProgressBar;
    gauge->setObjectName(QStringLiteral("Gauge1"));
    gauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));
    ProgressWindow_ = toolWindow(this, "ProgressWindow", QStringLiteral("Wait--  calculating"), gauge);
    ProgressWindow_->setFloating(true);
    ProgressWindow_->hide();
}

// Overlapping windows, each one title bar down and to the right of the one
// before, at their own sizes: every title bar shows, the active window on top.
void TMainForm::cascade()
{
    QList<QMdiSubWindow*> order;
    QMdiSubWindow* active = mdi_->activeSubWindow();
    for (QMdiSubWindow* s : mdi_->subWindowList(QMdiArea::CreationOrder))
        if (!s->isMinimized() && !s->isHidden() && s != active)
            order << s;
    if (active && !active->isMinimized())
        order << active;
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 6;
    int i = 0;
    for (QMdiSubWindow* s : order) {
        if (s->isMaximized())
            s->showNormal();
        s->move(i * step, i * step);
        s->raise();
        ++i;
    }
}

bool TMainForm::event(QEvent* e)
{
    // The hint of the control under the mouse goes to the first status panel.
    if (e->type() == QEvent::StatusTip) {
        hintPanel_->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TMainForm::UpdateMenuItems()
{
    const bool any = !mdi_->subWindowList().isEmpty();
    for (QAction* a : windowItems_)
        a->setEnabled(any);
}

TMDIImage* TMainForm::activeImage() const
{
    QMdiSubWindow* sub = mdi_->activeSubWindow();
    return sub ? qobject_cast<TMDIImage*>(sub->widget()) : nullptr;
}

// --- what the image windows use -------------------------------------------------------------

int TMainForm::newImageSize() const
{
    return panel_->newImageSize();
}

int TMainForm::currentScope() const
{
    return panel_->CurrentScope;
}

QString TMainForm::scopeName(int number) const
{
    return panel_->scopeName(number);
}

ParamTable TMainForm::scopeParams(int number) const
{
    if (number < 0 || number > TelescopePanel::kMaxScopes)
        return {};
    return panel_->ScopeTable[number];
}

void TMainForm::storeScopeParams(int number, const ParamTable& params)
{
    if (number >= 0 && number <= TelescopePanel::kMaxScopes)
        panel_->ScopeTable[number] = params;
}

void TMainForm::selectScope(int number)
{
    panel_->SelectScope(number);
}

void TMainForm::markScopeSelected(int number)
{
    panel_->markSelected(number);
}

void TMainForm::setNextWindowPosition(QPoint p)
{
    NextWindowLeft = p.x();
    NextWindowTop = p.y();
}

void TMainForm::log(const QString& line)
{
    LogMemo_->appendPlainText(line);
}

void TMainForm::updateActiveImage()
{
    PointAtClick();
    memoryPanel_->setText(MemoryStatusText(QueryMemory()));
}

void TMainForm::showEyepiece(const QString& millimetres)
{
    panel_->EyepieceFL->setText(millimetres);
}

ColourLevels TMainForm::colourLevels() const
{
    return colorTool_->levels();
}

void TMainForm::showColourLevels(const ColourLevels& levels, bool dimming)
{
    applyingLevels_ = true;
    const ColourLevels before = colorTool_->levels();
    colorTool_->setLevels(levels);
    colorTool_->CheckBox1->setChecked(dimming);
    applyingLevels_ = false;
    if (!(before == colorTool_->levels()))
        LRGBChange();
}

void TMainForm::setDimmingChecked(bool on)
{
    colorTool_->CheckBox1->setChecked(on);
}

void TMainForm::setLuminosityLevel(int position)
{
    colorTool_->LuminositySlider->setValue(position);
}

void TMainForm::showColourTool()
{
    ColorTool_->show();
    ColorTool_->raise();
}

void TMainForm::fillPsfWindows(const Plane& plane, float peak, int sampleCount)
{
    if (!psf_)
        return;
    const double resolution = state_.Params[prmResolution].Value;
    const PsfProfile profile = RadialProfile(plane, peak, sampleCount, state_.FftSize, resolution);
    psf_->fill(profile, scopeName(currentScope()), state_.FftSize, resolution);
}

void TMainForm::fillMtfWindows(const MtfCurves& curves, bool checkUndersampling)
{
    if (mtf_)
        mtf_->fillStar(curves, scopeName(currentScope()), checkUndersampling);
}

void TMainForm::fillMtfChannel(int pass, int wavelength, const MtfCurves& curves)
{
    if (mtf_)
        mtf_->fillChannel(pass, wavelength, curves);
}

double TMainForm::separation() const
{
    return doubleStars_->separationSpin->value();
}

int TMainForm::positionAngle() const
{
    return doubleStars_->AngleSpin->value();
}

double TMainForm::magnitudeA() const
{
    return doubleStars_->MagnitudeA;
}

double TMainForm::magnitudeB() const
{
    return doubleStars_->MagnitudeB;
}

void TMainForm::showDoubleStarTool(QWidget* imageWindow)
{
    // Under the picture, 50 pixels below its bottom edge.
    QWidget* frame = imageWindow->parentWidget() ? imageWindow->parentWidget() : imageWindow;
    const QPoint at = frame->mapToGlobal(QPoint(0, frame->height() + 50));
    DoubleStarTool_->show();
    DoubleStarTool_->move(at);
    DoubleStarTool_->raise();
}

void TMainForm::doubleStarCellClicked(int row, int column)
{
    TMDIImage* image = activeImage();
    if (!image)
        return;
    if (image->Kind != PictureKind::Double) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Quillmere"),
                                    QStringLiteral("Activate a double star-window"), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("ActivateDoubleBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    // Only the "Nr" cell picks a pair; the others are edited in place.
    if (column != 0)
        return;
    doubleStars_->pickRow(row);
    image->UpdateImage();
}

void TMainForm::showProgress(int done, int total)
{
    auto* gauge = ProgressWindow_->findChild<QProgressBar*>(QStringLiteral("Gauge1"));
    const bool running = done < total;
    if (running != busy_) {
        busy_ = running;
        // While events run inside the computation, no other command may start one.
        findChild<QToolBar*>(QStringLiteral("ToolBar"))->setEnabled(!running);
        TelescopeTool_->setEnabled(!running);
        ProgressWindow_->setVisible(running);
    }
    if (gauge && total > 0)
        gauge->setValue(NintI(double(done) / total * 100.0));
}

void TMainForm::reportProblem(const QString& message)
{
    log(message);
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quillmere"), message,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("ProblemBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// --- image setting -------------------------------------------------------------------------------

void TMainForm::LRGBChange()
{
    if (applyingLevels_)
        return;
    if (TMDIImage* image = activeImage())
        image->ApplyColourBalance();
}

void TMainForm::CheckBox1Click(bool on)
{
    TMDIImage* image = activeImage();
    if (!image || !image->traits().followsTelescope)
        return;
    image->Dimming = on;
    if (!on) {
        colorTool_->LuminositySlider->setValue(100);
        return;
    }
    // The exit pupil against 1/32 inch sets the lightness (CIE L*) of the view.
    colorTool_->LuminositySlider->setValue(
        DimmedLuminosity(state_.Params[prmAperture].Value, image->zoomFactor(), state_.ViewMagnification));
}

} // namespace qm
