// The chromatic controls and the chromatic star driven through the real main
// window.
#include "analysis/chromacontrol.h"
#include "app/doublestartool.h"
#include "app/imagesetting.h"
#include "app/settingsstore.h"
#include "imagefiles/fits.h"
#include "support/mainwindowtest.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QScrollBar>
#include <QLabel>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>
#include <QTableWidget>
#include <QToolButton>

#include <qcustomplot.h>

namespace {

using qmtest::MainWindowTest;

int selectedCount(const qm::SimState& s)
{
    int n = 0;
    for (bool b : s.SelectedWavelengths)
        n += b;
    return n;
}

TEST_F(MainWindowTest, ChromaticControlsEditTheSelectionAndTheCoefficients)
{
    QAction* open = window->findChild<QAction*>("CallChromaticControl");
    ASSERT_TRUE(open && open->isEnabled());
    open->trigger();
    open->trigger();   // at most one window
    auto* c = window->findChild<qm::TChromaControls*>();
    ASSERT_TRUE(c);
    EXPECT_EQ(window->findChildren<qm::TChromaControls*>().size(), 1);
    EXPECT_TRUE(window->ChromaControlsOpen);

    // Start-up selection: three lines on the photopic curve.
    EXPECT_EQ(c->ChromaticWaveList->count(), 301);
    EXPECT_EQ(c->ChromaticWaveList->currentRow(), 155);
    EXPECT_EQ(c->ChromaticWaveList->item(86)->checkState(), Qt::Checked);
    EXPECT_EQ(c->ChromaticWaveList->item(146)->checkState(), Qt::Checked);
    EXPECT_EQ(c->ChromaticWaveList->item(256)->checkState(), Qt::Checked);
    EXPECT_EQ(c->SpectralLine->dataCount(), 3);
    EXPECT_EQ(c->PhotopLine->dataCount(), 301);
    EXPECT_EQ(c->SpectralLine->lineStyle(), QCPGraph::lsImpulse);
    EXPECT_EQ(c->SpectralLine->pen().color(), QColor(Qt::red));

    // A check by hand, the grid, Clear All.
    c->ChromaticWaveList->item(200)->setCheckState(Qt::Checked);
    EXPECT_TRUE(window->Sim().SelectedWavelengths[200]);
    EXPECT_EQ(c->SpectralLine->dataCount(), 4);
    c->ChromaSteps->setValue(50);   // 450, 500, ..., 700
    EXPECT_EQ(selectedCount(window->Sim()), 6);
    EXPECT_FALSE(window->Sim().SelectedWavelengths[200 + 1]);
    EXPECT_EQ(c->SpectralLine->dataCount(), 6);
    c->ChromaStart->setValue(600);
    c->ChromaEnd->setValue(500);   // From past To: nothing
    EXPECT_EQ(selectedCount(window->Sim()), 0);
    c->ChromaStart->setValue(400);
    c->ChromaEnd->setValue(700);
    c->ChromaSteps->setValue(25);
    EXPECT_EQ(selectedCount(window->Sim()), 12);
    c->RxSpeedButton1->click();
    EXPECT_EQ(selectedCount(window->Sim()), 0);
    EXPECT_EQ(c->SpectralLine->dataCount(), 0);

    // Coefficients go into the parameters and the telescope's entry.
    c->ChromaLateralSpin->setValue(0.5);
    c->ChromaShiftSpin->setValue(-0.3);
    EXPECT_EQ(window->Sim().Params[qm::prmChromaLateral].Value, 0.5);
    EXPECT_TRUE(window->Sim().Params[qm::prmChromaLateral].Enabled);
    EXPECT_EQ(panel().ScopeTable[1][qm::prmChromaShift].Value, -0.3);
    c->ChromaLateralSpin->setValue(0.0);
    EXPECT_FALSE(window->Sim().Params[qm::prmChromaLateral].Enabled);
    EXPECT_TRUE(window->Sim().Params[qm::prmChromaShift].Enabled);

    // Closed and reopened, it shows the state as left.
    c->ChromaticWaveList->item(10)->setCheckState(Qt::Checked);
    window->findChild<QMdiSubWindow*>("ChromaSubWindow")->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->ChromaControlsOpen);
    open->trigger();
    c = window->findChild<qm::TChromaControls*>();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->ChromaShiftSpin->value(), -0.3);
    EXPECT_EQ(c->ChromaticWaveList->item(10)->checkState(), Qt::Checked);
    EXPECT_EQ(c->SpectralLine->dataCount(), 1);
}

TEST_F(MainWindowTest, ChromaButtonMakesAColourStarAndGivesTheFrameBack)
{
    auto* button = window->findChild<QToolButton*>("RxSpeedButton3");
    ASSERT_TRUE(button->isEnabled());
    button->click();
    ASSERT_EQ(windows().size(), 1);
    qm::TMDIImage* image = imageAt(0);
    EXPECT_EQ(image->Kind, qm::PictureKind::Chroma);
    EXPECT_EQ(image->size(), QSize(256 + 32, 256 + 23));
    EXPECT_EQ(windows()[0]->windowTitle(), "Scope 1 (1224x )");
    EXPECT_TRUE(logLines().contains("Intializing chroma 512"));
    // Three colours: the centre is white-ish, red and blue both present.
    const QRgb centre = image->spareImage().pixel(128, 128);
    EXPECT_GT(qRed(centre), 200);
    EXPECT_GT(qGreen(centre), 200);
    EXPECT_GT(qBlue(centre), 200);
    EXPECT_FALSE(window->findChild<QDockWidget*>("ProgressWindow")->isVisible());
    EXPECT_TRUE(window->findChild<QToolBar*>("ToolBar")->isEnabled());
    EXPECT_FALSE(window->busy());
    // The update recomputes with the state's selection.
    window->Sim().SelectedWavelengths.fill(false);
    image->findChild<QToolButton*>("UpdateButton")->click();
    EXPECT_EQ(image->spareImage().pixel(128, 128), qRgb(0, 0, 0));
}

} // namespace

namespace {

TEST_F(MainWindowTest, DoubleStarWindowToolAndTable)
{
    qm::DoubleStarTool* tool = window->doubleStarTool();
    ASSERT_TRUE(tool);
    auto* dock = window->findChild<QDockWidget*>("DoubleStarTool");
    EXPECT_FALSE(dock->isVisible());
    ASSERT_TRUE(tool->loadFile(QStringLiteral(QM_SOURCE_DIR "/data/doubles.csv")));
    EXPECT_EQ(dock->windowTitle(), "Double Stars : doubles.csv (24 records)");
    EXPECT_EQ(tool->AdvStringGrid1->rowCount(), 24);
    EXPECT_EQ(tool->AdvStringGrid1->item(0, 0)->text(), "1");
    EXPECT_EQ(tool->AdvStringGrid1->item(0, 1)->text(), "Albireo (beta Cyg)");
    EXPECT_EQ(tool->AdvStringGrid1->horizontalHeaderItem(4)->text(), "Sep (\")");

    // A row picked while a plain star is active asks for a double-star window.
    window->StarImageButtonClick();
    tool->AdvStringGrid1->cellClicked(0, 0);
    EXPECT_TRUE(window->findChild<QWidget*>("ActivateDoubleBox"));
    EXPECT_EQ(tool->separationSpin->value(), 2.0);

    auto* button = window->findChild<QToolButton*>("RxSpeedButton1");
    ASSERT_TRUE(button->isEnabled());
    button->click();
    qm::TMDIImage* pair = imageAt(1);
    EXPECT_EQ(pair->Kind, qm::PictureKind::Double);
    EXPECT_EQ(pair->size(), QSize(256 + 32, 256 + 23));
    EXPECT_TRUE(pair->findChild<QToolButton*>("DoubleStarTableButton")->isEnabled());
    EXPECT_TRUE(dock->isVisible());
    // The tool stands 50 pixels under the picture's window.
    QMdiSubWindow* pairWindow = windows()[1];
    EXPECT_EQ(dock->pos(), pairWindow->mapToGlobal(QPoint(0, pairWindow->height() + 50)));
    // 2 arc-seconds at angle 0: the companion 20 pixels up the rows.
    EXPECT_GT(qGray(pair->spareImage().pixel(128, 108)), 100);

    // Picking Albireo (34.7", 54 degrees) moves the companion out of the picture's centre row.
    const QImage before = pair->spareImage();
    tool->AdvStringGrid1->cellClicked(0, 0);
    EXPECT_EQ(tool->separationSpin->value(), 34.7);
    EXPECT_EQ(tool->AngleSpin->value(), 54);
    EXPECT_EQ(tool->MagnitudeA, 3.1);
    EXPECT_EQ(tool->MagnitudeB, 5.1);
    EXPECT_NE(pair->spareImage(), before);
    EXPECT_LT(qGray(pair->spareImage().pixel(128, 108)), 60);
    // Another column only starts editing.
    tool->AdvStringGrid1->cellClicked(1, 4);
    EXPECT_EQ(tool->separationSpin->value(), 34.7);

    // Closing a picture while the kind is the double star hides the tool.
    windows()[0]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dock->isVisible());
}

} // namespace

namespace {

TEST_F(MainWindowTest, WavefrontAndInterferogramWindows)
{
    window->findChild<QAction*>("WaveMenuitem")->trigger();
    ASSERT_EQ(windows().size(), 1);
    qm::TMDIImage* wave = imageAt(0);
    EXPECT_EQ(wave->Kind, qm::PictureKind::Wave);
    EXPECT_EQ(wave->size(), QSize(256 + 32, 256 + 23));
    EXPECT_EQ(windows()[0]->windowTitle(), "Scope 1 (1224x )");
    auto* label = wave->findChild<QLabel*>("TelescopeLabel");
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().startsWith("Radius:22pixels (PV:0 - RMS : 0)")) << label->text().toStdString();
    EXPECT_FALSE(wave->findChild<QDoubleSpinBox*>("ImageSpinControl")->isVisible());
    EXPECT_FALSE(wave->findChild<QToolButton*>("LRGBControlbutton")->isEnabled());
    // A perfect optic: the map is the 400 nm colour.
    const QColor violet = wave->spareImage().pixel(118, 173);
    EXPECT_EQ(violet.red(), 184);
    EXPECT_EQ(violet.blue(), 255);

    window->findChild<QAction*>("Interferomenuitem")->trigger();
    ASSERT_EQ(windows().size(), 2);
    qm::TMDIImage* inter = imageAt(1);
    EXPECT_EQ(inter->Kind, qm::PictureKind::Inter);
    auto* fringes = inter->findChild<QDoubleSpinBox*>("ImageSpinControl");
    EXPECT_TRUE(fringes->isVisible());
    EXPECT_EQ(fringes->value(), 10);
    EXPECT_EQ(fringes->minimum(), 1);
    EXPECT_EQ(fringes->maximum(), 50);
    EXPECT_EQ(fringes->decimals(), 0);
    EXPECT_EQ(fringes->toolTip(), "Number of interferometric-bars");
    fringes->setValue(4);
    inter->findChild<QToolButton*>("UpdateButton")->click();
    EXPECT_EQ(inter->findChild<QLabel*>("TelescopeLabel")->text(), "Telescope 1");
    // Four fringes: dark at a quarter and three quarters of the width.
    EXPECT_LT(qGray(inter->spareImage().pixel(64, 128)), 10);
    EXPECT_GT(qGray(inter->spareImage().pixel(128, 128)), 245);
    EXPECT_TRUE(window->findChild<QToolButton*>("WaveFrontButton")->isEnabled());
}

} // namespace

namespace {

TEST_F(MainWindowTest, ZoomBarChangesEyepieceCaptionAndPicture)
{
    window->StarImageButtonClick();
    qm::TMDIImage* star = imageAt(0);
    auto* zoom = star->findChild<QScrollBar*>("Zoom");
    ASSERT_TRUE(zoom->isVisible());
    zoom->setValue(500);   // twice the magnification
    EXPECT_EQ(windows()[0]->windowTitle(), "Scope 1 (2449x )");
    EXPECT_EQ(panel().EyepieceFL->text(), "0.4");
    EXPECT_EQ(star->findChild<QDoubleSpinBox*>("ImageSpinControl")->value(), 0.4);
    EXPECT_NE(star->displayImage(), star->spareImage());
    EXPECT_EQ(star->displayImage().size(), star->spareImage().size());
    zoom->setValue(250);
    EXPECT_EQ(star->displayImage(), star->spareImage().convertToFormat(QImage::Format_RGB32));

    // Dimming follows the zoom.
    window->imageSettingTool()->CheckBox1->click();
    ASSERT_TRUE(star->Dimming);
    const int atOne = window->imageSettingTool()->LuminositySlider->value();
    zoom->setValue(125);   // half the magnification: a larger exit pupil, brighter
    EXPECT_LT(window->imageSettingTool()->LuminositySlider->value(), atOne);

    window->RxSpeedButton2Click();
    EXPECT_FALSE(imageAt(1)->findChild<QScrollBar*>("Zoom")->isVisible());
}

} // namespace

namespace {

TEST_F(MainWindowTest, PlanetWindowAndItsViewThroughTheTelescope)
{
    QImage photo(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            photo.setPixel(x, y, qRgb((x / 20) % 2 ? 220 : 40, 120, 90));
    const QString file = QString::fromStdString(dir.file("jup12_5.png"));
    ASSERT_TRUE(photo.save(file));
    panel().ResolutionSpin->setValue(9);
    window->openPlanetFile(file);
    ASSERT_EQ(windows().size(), 1);
    qm::TMDIImage* planet = imageAt(0);
    EXPECT_EQ(planet->Kind, qm::PictureKind::Planet);
    EXPECT_EQ(windows()[0]->windowTitle(), "planetoriginal");
    EXPECT_EQ(planet->size(), QSize(300 + 32, 200 + 23));
    EXPECT_EQ(planet->spareImage(), photo);
    auto* spin = planet->findChild<QDoubleSpinBox*>("ImageSpinControl");
    EXPECT_EQ(spin->value(), 12.5);
    EXPECT_EQ(spin->toolTip(), "Resolution control");
    EXPECT_EQ(planet->findChild<QLabel*>("TelescopeLabel")->text(), "jup12_5.png(300x200)");
    EXPECT_FALSE(planet->findChild<QToolButton*>("LRGBControlbutton")->isEnabled());
    EXPECT_EQ(qm::SettingsStore(settingsFile).read("ImageDirectory").value_or(""),
              QString::fromStdString(dir.path().string()) + "/");

    // Its update opens the view through the telescope, each time a new one.
    planet->findChild<QToolButton*>("UpdateButton")->click();
    ASSERT_EQ(windows().size(), 2);
    qm::TMDIImage* view = imageAt(1);
    EXPECT_EQ(view->Kind, qm::PictureKind::Quil);
    EXPECT_EQ(view->spareImage().size(), QSize(300, 200));
    EXPECT_EQ(view->findChild<QLabel*>("TelescopeLabel")->text(), "jup12_5.png");
    EXPECT_TRUE(view->findChild<QScrollBar*>("Zoom")->isVisible());
    EXPECT_GT(qRed(view->spareImage().pixel(30, 100)), qRed(view->spareImage().pixel(10, 100)) + 40);
    EXPECT_EQ(panel().ResolutionSpin->value(), 9.0);   // a new view restores the panel's resolution
    EXPECT_EQ(window->Sim().panel.ResolutionSpin, 9.0);
    window->mdiArea()->setActiveSubWindow(windows()[0]);
    planet->findChild<QToolButton*>("UpdateButton")->click();
    EXPECT_EQ(windows().size(), 3);
}

} // namespace

namespace {

TEST_F(MainWindowTest, MeasuringDistancesOnAPlanetPicture)
{
    QImage photo(200, 150, QImage::Format_RGB32);
    photo.fill(qRgb(100, 100, 100));
    const QString file = QString::fromStdString(dir.file("moon12_5.png"));
    ASSERT_TRUE(photo.save(file));
    window->openPlanetFile(file);
    qm::TMDIImage* planet = imageAt(0);
    auto* label = planet->findChild<QLabel*>("TelescopeLabel");

    // The cursor cross is armed by the first double-click, from (0, 0) to (0, 0).
    planet->DisplayImageMouseMove(30, 40);
    EXPECT_EQ(planet->displayImage().pixel(30, 35), qRgb(100, 100, 100));
    planet->DisplayImageDblClick();
    EXPECT_EQ(label->text(), "Distance=0 asec");
    planet->DisplayImageMouseMove(30, 40);
    EXPECT_EQ(planet->displayImage().pixel(30, 35), qRgb(155, 155, 155));   // inverted
    planet->DisplayImageDblClick();
    // 50 pixels at 12.5 pixels per arc-second.
    EXPECT_EQ(label->text(), "Distance=4 asec");
    planet->findChild<QDoubleSpinBox*>("ImageSpinControl")->setValue(10);
    EXPECT_EQ(label->text(), "Distance=5 asec");
    // Moving on erases the cross where it was.
    planet->DisplayImageMouseMove(100, 100);
    EXPECT_EQ(planet->displayImage().pixel(30, 35), qRgb(100, 100, 100));
    EXPECT_EQ(planet->displayImage().pixel(100, 95), qRgb(155, 155, 155));
    EXPECT_EQ(window->measurement().MarkBX, 30);
}

} // namespace

namespace {

TEST_F(MainWindowTest, PicturesSaveTheirDataAsFits)
{
    window->StarImageButtonClick();
    const std::string star = dir.file("star.fits");
    ASSERT_TRUE(imageAt(0)->saveData(star));
    int w = 0, h = 0;
    std::vector<float> psf;
    ASSERT_TRUE(qm::ReadFitsImage(star, w, h, psf));
    EXPECT_EQ(w, 512);
    double sum = 0;
    for (float v : psf)
        sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-3);
    window->findChild<QAction*>("WaveMenuitem")->trigger();
    ASSERT_TRUE(imageAt(1)->saveData(dir.file("wave.fits")));
    ASSERT_TRUE(qm::ReadFitsImage(dir.file("wave.fits"), w, h, psf));
    EXPECT_EQ(h, 512);
}

} // namespace
