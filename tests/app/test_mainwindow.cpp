// The real main window driven offscreen: start-up, the panel's couplings, the
// telescope list, image windows and their placement, image setting, settings,
// and the MTF and PSF/EE windows.
#include "app/calibration.h"
#include "app/imagesetting.h"
#include "app/mainwindow.h"
#include "app/telescopepanel.h"
#include "engine/nint.h"
#include "imagewin/childimage.h"
#include "support/mainwindowtest.h"
#include "support/tempdir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

using qm::TMainForm;
using qmtest::MainWindowTest;

TEST_F(MainWindowTest, StartsWithOneTelescopeAndTheDefaults)
{
    EXPECT_EQ(window->windowTitle(), "Quillmere Version 3.0 beta update 1 20010329");
    ASSERT_EQ(panel().Scopes->count(), 1);
    EXPECT_EQ(panel().Scopes->currentText(), "Scope 1");
    EXPECT_EQ(panel().CurrentScope, 1);
    EXPECT_EQ(panel().ApertureSpin->value(), 100);
    EXPECT_EQ(panel().ResolutionSpin->value(), 10.0);
    EXPECT_EQ(panel().FocalRatio->value(), 10.0);
    EXPECT_EQ(panel().TubeRadius->value(), 0.1);   // a new telescope's 0 clamps to the minimum
    EXPECT_EQ(panel().ScopeTable[1][qm::prmTubeRadius].Value, 0.1);
    EXPECT_EQ(window->Sim().MaxAperture, 825);
    EXPECT_EQ(panel().MaxApertureLabel->text(), "MaxAperture:825mm");
    auto* calibration = window->calibrationTool();
    EXPECT_EQ(calibration->RxSlider1->value(), 147);
    EXPECT_EQ(calibration->ViewDistanceSpin->value(), 57.0);
    EXPECT_EQ(calibration->GammaSpin->value(), 0.45);
    EXPECT_EQ(calibration->GammaSlopeSpin->value(), 4.5);
    EXPECT_EQ(window->MtfToolWidth, 256);
    EXPECT_EQ(window->MtfToolHeight, 256);
    int selected = 0;
    for (int i = 0; i < 301; ++i)
        selected += window->Sim().SelectedWavelengths[i];
    EXPECT_EQ(selected, 3);
    EXPECT_TRUE(window->Sim().SelectedWavelengths[486 - 400]);
    EXPECT_TRUE(window->Sim().SelectedWavelengths[546 - 400]);
    EXPECT_TRUE(window->Sim().SelectedWavelengths[656 - 400]);
    // Window items are disabled until a child window exists.
    auto* cascade = window->findChild<QAction*>("Cascade1");
    ASSERT_TRUE(cascade);
    EXPECT_FALSE(cascade->isEnabled());
    // Every command of the tool bar and the Wave menu is there to use.
    for (QToolButton* b : window->findChild<QToolBar*>("ToolBar")->findChildren<QToolButton*>()) {
        if (!b->objectName().startsWith("qt_")) {
            EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
        }
    }
    for (QAction* a : window->findChild<QMenu*>("PopupMenu1")->actions())
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_EQ(window->findChild<QToolButton*>("StarImageButton")->toolTip(), "Create a Star-Test Image");

    panel().ResolutionSpin->setValue(11);
    panel().ResolutionSpin->setValue(10);
    EXPECT_EQ(panel().MaxApertureLabel->text(), "MxAp:825mm");
    panel().ResolutionSpin->setValue(5);
    EXPECT_EQ(panel().MaxApertureLabel->text(), "MxAp:413mm");
}

TEST_F(MainWindowTest, PanelControlsCarryTheirNamesRangesAndHints)
{
    auto* aperture = window->findChild<QSpinBox*>("ApertureSpin");
    ASSERT_TRUE(aperture);
    EXPECT_EQ(aperture->minimum(), 5);
    EXPECT_EQ(aperture->maximum(), 1000);
    EXPECT_EQ(aperture->singleStep(), 10);
    EXPECT_EQ(aperture->toolTip(), "Aperture in mm");
    struct Box {
        const char* name;
        double lo, hi, step;
        int decimals;
        const char* hint;
    };
    const Box boxes[] = {
        {"ResolutionSpin", 5, 20, 1, 2, "Resolution in pixels/arcsecond"},
        {"ObstructionSpin", 0, 95, 5, 2, "Obstruction percentage (diameter)"},
        {"FocalRatio", 3.5, 20, 1, 2, "Focal Ratio"},
        {"FocusControl", -20, 20, 0.1, 2, "Focus in waves"},
        {"LSAControl", -1e9, 1e9, 0.1, 2, "Lower Spherical Aberration in Waves"},
        {"HSAControl", -1e9, 1e9, 0.1, 2, "Higher Spherical Aberration in Waves"},
        {"TubeRadius", 0.1, 0.9, 0.1, 2, ""},
        {"TurbulenceSpin", 0, 2, 0.05, 2, ""},
        {"XShift", -40, 40, 1, 1, ""},
        {"YShift", -40, 40, 1, 1, ""},
    };
    for (const Box& b : boxes) {
        auto* w = window->findChild<QDoubleSpinBox*>(b.name);
        ASSERT_TRUE(w) << b.name;
        EXPECT_EQ(w->minimum(), b.lo) << b.name;
        EXPECT_EQ(w->maximum(), b.hi) << b.name;
        EXPECT_EQ(w->singleStep(), b.step) << b.name;
        EXPECT_EQ(w->decimals(), b.decimals) << b.name;
        EXPECT_EQ(w->toolTip(), b.hint) << b.name;
    }
    // A value typed into an unlimited box is kept as it is.
    panel().ComaControl->setValue(35);
    EXPECT_EQ(window->Sim().Params[qm::prmComa].Value, 35.0);
    EXPECT_EQ(window->findChild<QSlider*>("TrackBar1")->minimum(), -100);
    EXPECT_EQ(panel().newImageSize(), 256);
    panel().Imagesize->button(2)->click();
    EXPECT_EQ(panel().newImageSize(), 128);
}

TEST_F(MainWindowTest, FocusInWavesSliderAndMillimetresFollowEachOther)
{
    panel().FocusControl->setValue(1.0);
    EXPECT_EQ(panel().TrackBar1->value(), 10);
    EXPECT_DOUBLE_EQ(panel().Focusmetric->value(), 0.44);
    EXPECT_EQ(window->Sim().Params[qm::prmFocus].Value, 1.0);
    EXPECT_TRUE(window->Sim().Params[qm::prmFocus].Enabled);

    panel().Focusmetric->setValue(0.88);
    EXPECT_DOUBLE_EQ(panel().FocusControl->value(), 2.0);
    EXPECT_EQ(panel().TrackBar1->value(), 20);

    panel().Focusmetric->setValue(0.44);
    EXPECT_DOUBLE_EQ(panel().FocusControl->value(), 1.0);
    panel().FocalRatio->setValue(5);   // the focus in millimetres is held
    EXPECT_DOUBLE_EQ(panel().FocusControl->value(), 4.0);
    EXPECT_DOUBLE_EQ(panel().Focusmetric->value(), 0.44);
    EXPECT_EQ(window->Sim().Params[qm::prmFocalRatio].Value, 5.0);

    panel().FocalRatio->setValue(10);
    panel().TrackBar1->setValue(-37);
    EXPECT_DOUBLE_EQ(panel().FocusControl->value(), -3.7);
    EXPECT_EQ(panel().TrackBar1->value(), -37);
    EXPECT_DOUBLE_EQ(panel().Focusmetric->value(), -1.63);   // -3.7 x 0.44
    EXPECT_FALSE(panel().SpinEchoGuard);
    EXPECT_FALSE(panel().FocusMetricGuard);
    EXPECT_EQ(panel().ScopeTable[1][qm::prmFocus].Value, -3.7);
}

TEST_F(MainWindowTest, ApertureOutsideTheUsableRangeShowsRed)
{
    auto colour = [&] { return panel().ApertureSpin->palette().color(QPalette::Base); };
    for (int aperture : {80, 830}) {
        panel().ApertureSpin->setValue(aperture);
        EXPECT_EQ(colour(), QColor(Qt::red)) << aperture;
    }
    for (int aperture : {83, 825}) {
        panel().ApertureSpin->setValue(aperture);
        EXPECT_NE(colour(), QColor(Qt::red)) << aperture;
    }
}

TEST_F(MainWindowTest, AddingAndSelectingTelescopes)
{
    panel().ApertureSpin->setValue(150);
    panel().ObstructionSpin->setValue(30);
    panel().Scopes->lineEdit()->setText("Newton");
    panel().AddscopeButton->click();
    ASSERT_EQ(panel().Scopes->count(), 2);
    EXPECT_EQ(panel().Scopes->itemText(1), "Newton");
    EXPECT_EQ(panel().CurrentScope, 2);
    EXPECT_EQ(panel().ObstructionSpin->value(), 0.0);
    EXPECT_EQ(panel().TubeRadius->value(), 0.1);
    EXPECT_EQ(panel().FocalRatio->value(), 10.0);
    EXPECT_EQ(panel().ApertureSpin->value(), 150);

    panel().Scopes->lineEdit()->setText("Scope of mine");
    panel().AddscopeButton->click();
    EXPECT_EQ(panel().Scopes->itemText(2), "Scope 3");

    panel().SelectScope(2);
    panel().ComaControl->setValue(0.7);
    panel().SelectScope(1);
    EXPECT_EQ(panel().ComaControl->value(), 0.0);
    EXPECT_EQ(panel().ObstructionSpin->value(), 30.0);
    panel().SelectScope(2);
    EXPECT_EQ(panel().ComaControl->value(), 0.7);
    EXPECT_EQ(window->Sim().Params[qm::prmComa].Value, 0.7);
}

TEST_F(MainWindowTest, StarAndIntraWindowsComputeSizeAndLog)
{
    window->StarImageButtonClick();
    ASSERT_EQ(windows().size(), 1);
    qm::TMDIImage* star = imageAt(0);
    EXPECT_EQ(windows()[0]->windowTitle(), "Scope 1 (1224x )");
    EXPECT_EQ(star->Kind, qm::PictureKind::Star);
    EXPECT_EQ(star->ScopeNumber, 1);
    EXPECT_EQ(star->size(), QSize(256 + 32, 256 + 23));
    EXPECT_EQ(star->spareImage().size(), QSize(256, 256));
    EXPECT_EQ(qGray(star->spareImage().pixel(128, 128)), 255);
    EXPECT_EQ(windows()[0]->pos(), QPoint(0, 0));
    const QStringList log = logLines();
    EXPECT_TRUE(log.contains("Intializing star 512"));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& l) {
        return l.startsWith("End of Simulation :") && l.endsWith(" ms");
    }));
    EXPECT_TRUE(window->findChild<QAction*>("Cascade1")->isEnabled());

    panel().FocusControl->setValue(0.3);
    panel().LSAControl->setValue(0.4);
    window->RxSpeedButton2Click();
    ASSERT_EQ(windows().size(), 2);
    qm::TMDIImage* intra = imageAt(1);
    EXPECT_EQ(intra->Kind, qm::PictureKind::Intra);
    EXPECT_EQ(intra->size(), QSize(512 + 32, 256 + 23));
    EXPECT_EQ(intra->spareImage().size(), QSize(512, 256));
    EXPECT_EQ(window->Sim().Params[qm::prmFocus].Value, 0.3);
    EXPECT_EQ(panel().FocusControl->value(), 0.3);
    EXPECT_NE(intra->spareImage().copy(0, 0, 256, 256), intra->spareImage().copy(256, 0, 256, 256));
    EXPECT_TRUE(logLines().contains("Intializing intra 512"));
}

TEST_F(MainWindowTest, NewWindowsFillARowAndWrap)
{
    window->resize(1800, 900);
    window->StarImageButtonClick();
    QMdiSubWindow* first = windows().at(0);
    EXPECT_EQ(first->pos(), QPoint(0, 0));
    window->StarImageButtonClick();
    QMdiSubWindow* second = windows().at(1);
    EXPECT_EQ(second->pos(), QPoint(first->width(), 0));
    const int client = window->mdiArea()->viewport()->width();
    // Fill the row until the next window would pass the client width.
    QMdiSubWindow* last = second;
    while (last->x() + 2 * last->width() <= client) {
        window->StarImageButtonClick();
        last = windows().last();
        ASSERT_EQ(last->y(), 0);
    }
    window->StarImageButtonClick();
    EXPECT_EQ(windows().last()->pos(), QPoint(0, last->height()));
}

TEST_F(MainWindowTest, CalculateAllTouchesOnlyTheSelectedTelescope)
{
    window->StarImageButtonClick();
    panel().AddscopeButton->click();
    window->StarImageButtonClick();
    ASSERT_EQ(imageAt(0)->ScopeNumber, 1);
    ASSERT_EQ(imageAt(1)->ScopeNumber, 2);
    const QImage before1 = imageAt(0)->spareImage();
    const QImage before2 = imageAt(1)->spareImage();
    panel().FocusControl->setValue(2.0);   // telescope 2
    panel().AllScopeButton->click();
    EXPECT_EQ(imageAt(0)->spareImage(), before1);
    EXPECT_NE(imageAt(1)->spareImage(), before2);
    EXPECT_TRUE(logLines().contains("Update star 512"));
}

TEST_F(MainWindowTest, ColourBalanceRebuildsTheActivePicture)
{
    window->StarImageButtonClick();
    qm::TMDIImage* star = imageAt(0);
    qm::ImageSettingTool* tool = window->imageSettingTool();
    star->ApplyColourBalance();
    EXPECT_EQ(star->displayImage(), star->spareImage().convertToFormat(QImage::Format_RGB32));
    tool->Redcheckbox->click();
    EXPECT_EQ(qRed(star->displayImage().pixel(128, 128)), 0);
    EXPECT_EQ(qGreen(star->displayImage().pixel(128, 128)), 255);
    tool->Redcheckbox->click();
    tool->GreenSlider->setValue(0);   // x 12.111
    EXPECT_EQ(star->Levels.green, 0);
    const QRgb spare = star->spareImage().pixel(140, 128);
    const QRgb shown = star->displayImage().pixel(140, 128);
    EXPECT_EQ(qGreen(shown), std::min(255, qm::NintI(qGreen(spare) * qm::LevelFactor(200))));
    EXPECT_EQ(qRed(shown), qRed(spare));
    tool->ResetSlidersClick();
    EXPECT_EQ(star->displayImage(), star->spareImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(MainWindowTest, MagnitudeStepsAndDimming)
{
    qm::ImageSettingTool* tool = window->imageSettingTool();
    tool->magnitudeBrighter();
    EXPECT_EQ(tool->LuminositySlider->value(), 42);
    tool->magnitudeFainter();
    EXPECT_EQ(tool->LuminositySlider->value(), 100);
    tool->magnitudeFainter();
    EXPECT_EQ(tool->LuminositySlider->value(), 137);
    tool->LuminositySlider->setValue(200);
    tool->magnitudeBrighter();
    EXPECT_EQ(tool->LuminositySlider->value(), 200);
    tool->LuminositySlider->setValue(0);
    tool->magnitudeBrighter();
    EXPECT_EQ(tool->LuminositySlider->value(), 0);

    // 100 mm at 1224x: exit pupil 0.082 mm, far below 1/32 inch: the view darkens.
    tool->LuminositySlider->setValue(100);
    window->StarImageButtonClick();
    tool->CheckBox1->click();
    const double y = std::pow(32.0 * 100 / 25.4 / window->Sim().ViewMagnification, 2.0);
    const int lightness = qm::NintI(116.0 * std::cbrt(y) - 16.0);
    EXPECT_EQ(tool->LuminositySlider->value(), 200 - lightness);
    EXPECT_TRUE(imageAt(0)->Dimming);
    tool->CheckBox1->click();
    EXPECT_EQ(tool->LuminositySlider->value(), 100);
}

TEST_F(MainWindowTest, SettingsAreMatchedWithoutRegardToCase)
{
    {
        QSettings raw(settingsFile, QSettings::IniFormat);
        raw.setValue("ScreenResolution", "200");
        raw.setValue("SCREENDISTANCE", "70.5");
        raw.setValue("mtftoolwidth", "300");
        raw.setValue("Gamma", "not a number");
    }
    auto secondState = std::make_unique<qm::SimState>();
    auto second = makeWindow(*secondState);
    EXPECT_EQ(second->calibrationTool()->RxSlider1->value(), 200);
    EXPECT_EQ(second->calibrationTool()->ViewDistanceSpin->value(), 70.5);
    EXPECT_EQ(second->MtfToolWidth, 300);
    EXPECT_EQ(second->calibrationTool()->GammaSpin->value(), 0.45);

    qm::CalibrationTool* c = second->calibrationTool();
    c->ViewDistanceSpin->setValue(57.456);
    c->GammaSpin->setValue(0.45);
    c->SaveScreenButton->click();
    qm::SettingsStore store(settingsFile);
    EXPECT_EQ(store.read("screendistance").value_or(""), "57.46");
    EXPECT_EQ(store.read("GAMMA").value_or(""), "0.45");
    EXPECT_EQ(store.read("Screenresolution").value_or(""), "200");
    QSettings raw(settingsFile, QSettings::IniFormat);
    EXPECT_FALSE(raw.contains("SCREENDISTANCE"));   // one value, whatever its spelling
    EXPECT_TRUE(raw.contains("ScreenDistance"));
}

TEST_F(MainWindowTest, CalibrationLabelsAndMagnification)
{
    qm::CalibrationTool* c = window->calibrationTool();
    c->ViewDistanceSpin->setValue(100);
    EXPECT_EQ(c->Label5->text(), "5cm Circle = 2.85 degrees");
    c->ViewDistanceSpin->setValue(30);
    EXPECT_EQ(c->Label5->text(), "5cm Circle = 9.5 degrees");
    c->ViewDistanceSpin->setValue(57);
    EXPECT_EQ(c->Label5->text(), "5cm Circle = 5 degrees");
    c->RxSlider1->setValue(200);
    EXPECT_EQ(c->RxLabel13->text(), "200");
    EXPECT_EQ(c->Shape1->width(), 200);
    window->StarImageButtonClick();
    EXPECT_EQ(windows()[0]->windowTitle(), "Scope 1 (900x )");   // 10 x 18000 / 200
}

TEST_F(MainWindowTest, PsfAndMtfWindowsOpenOnceAndFill)
{
    window->StarImageButtonClick();
    QMdiSubWindow* star = windows()[0];
    window->RxSpeedButton7Click();
    window->mdiArea()->setActiveSubWindow(star);
    window->RxSpeedButton7Click();
    ASSERT_TRUE(window->PsfFormOpen);
    ASSERT_EQ(windows().size(), 2);
    qm::TPSFFORM* psf = window->psfForm();
    EXPECT_EQ(psf->psfLine()->dataCount(), 64);
    EXPECT_EQ(psf->eeLine()->dataCount(), 64);
    EXPECT_EQ(psf->psfLine()->name(), "PSF 1");   // unobstructed first telescope
    EXPECT_EQ(windows()[1]->windowTitle(), "PSF Scope 1");

    window->mdiArea()->setActiveSubWindow(star);
    EXPECT_FALSE(imageAt(0)->MtfComputed);
    window->RxSpeedButton5Click();
    ASSERT_TRUE(window->MtfFormOpen);
    EXPECT_TRUE(imageAt(0)->MtfComputed);
    EXPECT_EQ(window->mtfForm()->xLine()->dataCount(), 256);
    EXPECT_EQ(window->mtfForm()->perfect()->dataCount(), 101);
    EXPECT_EQ(windows().size(), 3);
    EXPECT_EQ(windows()[2]->windowTitle(), "MTF Scope 1");

    window->RxSpeedButton5Click();   // open already: nothing new
    EXPECT_EQ(windows().size(), 3);

    // Its size is remembered, under the names the start reads in another case.
    windows()[2]->resize(333, 222);
    qm::SettingsStore store(settingsFile);
    EXPECT_EQ(store.read("MTFtoolwidth").value_or(""), "333");
    EXPECT_EQ(store.read("MTFtoolheight").value_or(""), "222");
    EXPECT_EQ(window->MtfToolWidth, 333);

    // A smaller transform gives N / 8 profile points and N / 2 MTF points.
    panel().ComboBox1->setCurrentIndex(2);
    EXPECT_EQ(window->Sim().FftSize, 128);
    EXPECT_EQ(psf->psfLine()->dataCount(), 16);
    EXPECT_EQ(window->mtfForm()->xLine()->dataCount(), 64);

    windows()[1]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->PsfFormOpen);
    window->RxSpeedButton7Click();
    EXPECT_TRUE(window->PsfFormOpen);
}

TEST_F(MainWindowTest, ActivationBringsBackEachWindowsTelescopeLevelsAndCurves)
{
    qm::ImageSettingTool* tool = window->imageSettingTool();
    window->StarImageButtonClick();
    QMdiSubWindow* first = windows()[0];
    tool->RedSlider->setValue(40);
    panel().AddscopeButton->click();
    panel().ObstructionSpin->setValue(45);
    panel().FocusControl->setValue(0.4);   // lowers the Strehl ratio
    window->StarImageButtonClick();
    QMdiSubWindow* second = windows()[1];
    EXPECT_EQ(imageAt(1)->Levels.red, 100);   // a new window starts neutral
    window->RxSpeedButton7Click();
    const QString strehlOfSecond = window->psfForm()->psfLine()->name();

    window->mdiArea()->setActiveSubWindow(first);
    EXPECT_EQ(panel().CurrentScope, 1);
    EXPECT_EQ(panel().ObstructionSpin->value(), 0.0);
    EXPECT_EQ(tool->RedSlider->value(), 40);
    EXPECT_EQ(window->psfForm()->psfLine()->name(), "PSF 1");
    window->mdiArea()->setActiveSubWindow(second);
    EXPECT_EQ(panel().CurrentScope, 2);
    EXPECT_EQ(panel().ObstructionSpin->value(), 45.0);
    EXPECT_EQ(tool->RedSlider->value(), 100);
    EXPECT_EQ(window->psfForm()->psfLine()->name(), strehlOfSecond);
    EXPECT_NE(strehlOfSecond, "PSF 1");
}

TEST_F(MainWindowTest, UpdateButtonRecomputesAndReportsMemory)
{
    window->StarImageButtonClick();
    panel().FocusControl->setValue(1.5);
    const QImage before = imageAt(0)->spareImage();
    imageAt(0)->findChild<QToolButton*>("UpdateButton")->click();
    EXPECT_NE(imageAt(0)->spareImage(), before);
    EXPECT_TRUE(logLines().contains("Update star 512"));
    const QString memory = window->findChild<QLabel*>("MemoryPanel")->text();
    EXPECT_TRUE(memory.startsWith("TotMem: ")) << memory.toStdString();
    EXPECT_TRUE(memory.contains(" KBAvailMem: ")) << memory.toStdString();
    EXPECT_TRUE(memory.endsWith(" MB")) << memory.toStdString();
}

TEST_F(MainWindowTest, AnApertureBeyondTheGridIsRefusedWithAMessage)
{
    // At resolution 5 a 1000 mm pupil needs 446 samples of radius; the grid has 256.
    panel().ResolutionSpin->setValue(5);
    panel().ApertureSpin->setValue(1000);
    window->StarImageButtonClick();
    EXPECT_TRUE(windows().isEmpty());
    EXPECT_TRUE(window->logMemo()->toPlainText().contains("does not fit the grid"));
    EXPECT_TRUE(window->findChild<QWidget*>("ProblemBox"));
}

} // namespace
