// What a user meets at the program: telescope selection across window
// activation, typed numbers, arranged windows, the status bar, read-outs that
// follow each computation, and pictures that explain themselves.
#include "analysis/legendplot.h"
#include "analysis/mtfwindow.h"
#include "app/calibration.h"
#include "app/platform.h"
#include "imagewin/spinboxes.h"
#include "support/mainwindowtest.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

using qmtest::MainWindowTest;

QString hint(qm::TMainForm& w)
{
    return w.findChild<QLabel*>("HintPanel")->text();
}

// Selects all text of a box, types as a user would and presses Enter.
template <class Box>
void typeInto(Box* box, const QString& keys)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, keys);
    QTest::keyClick(box, Qt::Key_Return);
}

TEST_F(MainWindowTest, FocusReturningToAPictureKeepsTheTelescopeTheUserChose)
{
    panel().AddscopeButton->click();   // telescope 2, B
    panel().ObstructionSpin->setValue(33);
    window->StarImageButtonClick();
    QMdiSubWindow* pictureOfB = windows()[0];
    ASSERT_EQ(imageAt(0)->ScopeNumber, 2);

    // The user picks A in the list.
    panel().Scopes->activated(0);
    ASSERT_EQ(panel().CurrentScope, 1);
    // The log window takes the focus and gives it back: the MDI area loses its
    // active window and gets the same one again.
    window->findChild<QAction*>("LogWindowItem")->trigger();
    window->mdiArea()->setActiveSubWindow(nullptr);
    window->findChild<QAction*>("LogWindowItem")->trigger();
    window->mdiArea()->setActiveSubWindow(pictureOfB);
    EXPECT_EQ(panel().CurrentScope, 1);
    EXPECT_EQ(panel().Scopes->currentIndex(), 0);
    panel().FocusControl->setValue(0.5);
    EXPECT_EQ(panel().ScopeTable[1][qm::prmFocus].Value, 0.5);
    EXPECT_EQ(panel().ScopeTable[2][qm::prmFocus].Value, 0.0);

    // Activating a different picture still brings back its own telescope.
    panel().Scopes->activated(1);
    window->StarImageButtonClick();   // a picture of B again
    panel().Scopes->activated(0);
    window->StarImageButtonClick();   // and one of A, now active
    window->mdiArea()->setActiveSubWindow(pictureOfB);
    EXPECT_EQ(panel().CurrentScope, 2);
    EXPECT_EQ(panel().ObstructionSpin->value(), 33.0);
}

TEST_F(MainWindowTest, TypedNumbersAreClampedRoundedAndReadWithAComma)
{
    typeInto(panel().ObstructionSpin, "99");
    EXPECT_EQ(panel().ObstructionSpin->value(), 95.0);
    typeInto(panel().ApertureSpin, "2000");
    EXPECT_EQ(panel().ApertureSpin->value(), 1000);
    typeInto(panel().ApertureSpin, "3");
    EXPECT_EQ(panel().ApertureSpin->value(), 5);
    typeInto(panel().ApertureSpin, "150,4");
    EXPECT_EQ(panel().ApertureSpin->value(), 150);
    typeInto(panel().FocusControl, "25");
    EXPECT_EQ(panel().FocusControl->value(), 20.0);
    typeInto(panel().FocusControl, "1,5");
    EXPECT_EQ(panel().FocusControl->value(), 1.5);
    EXPECT_EQ(window->Sim().Params[qm::prmFocus].Value, 1.5);
    typeInto(panel().ComaControl, "-0,25");
    EXPECT_EQ(panel().ComaControl->value(), -0.25);
    typeInto(panel().ComaControl, "1,000");   // a decimal comma, not thousands
    EXPECT_EQ(panel().ComaControl->value(), 1.0);
    auto* distance = window->calibrationTool()->ViewDistanceSpin;
    typeInto(distance, "57.456");
    EXPECT_EQ(distance->value(), 57.46);
    // Text that is no number leaves the value as it was.
    typeInto(distance, "abc");
    EXPECT_EQ(distance->value(), 57.46);
    typeInto(panel().ObstructionSpin, "1e5");
    EXPECT_EQ(panel().ObstructionSpin->value(), 15.0);   // "e" cannot be typed: 15
    EXPECT_EQ(panel().ObstructionSpin->text(), "15.00");

    EXPECT_EQ(qm::ParseTypedNumber("1,5"), 1.5);
    EXPECT_EQ(qm::ParseTypedNumber(" -.5 "), -0.5);
    EXPECT_FALSE(qm::ParseTypedNumber("1,000.5"));
    EXPECT_FALSE(qm::ParseTypedNumber("inf"));
    EXPECT_FALSE(qm::ParseTypedNumber("-"));
    EXPECT_FALSE(qm::ParseTypedNumber(QString(30, '9')));
}

TEST_F(MainWindowTest, ArrangingWindowsKeepsPlotsUsableAndTheirStoredSize)
{
    window->StarImageButtonClick();
    window->RxSpeedButton5Click();
    window->RxSpeedButton7Click();
    QMdiSubWindow* mtf = window->findChild<QMdiSubWindow*>("MtfSubWindow");
    QMdiSubWindow* psf = window->findChild<QMdiSubWindow*>("PsfSubWindow");
    ASSERT_TRUE(mtf && psf);
    for (const char* how : {"Cascade1", "Tile1", "Tile2"}) {
        window->findChild<QAction*>(how)->trigger();
        for (QMdiSubWindow* sub : {mtf, psf}) {
            EXPECT_GE(sub->width(), 240) << how;
            EXPECT_GE(sub->height(), 180) << how;
        }
    }
    EXPECT_EQ(window->MtfToolWidth, 256);
    EXPECT_EQ(window->MtfToolHeight, 256);
    EXPECT_FALSE(qm::SettingsStore(settingsFile).read("MTFtoolwidth"));

    // Cascaded, the windows keep their sizes and every title bar shows: each
    // window starts below the top edge of the one under it by a title bar.
    mtf->resize(256, 256);
    window->findChild<QAction*>("Cascade1")->trigger();
    EXPECT_EQ(mtf->size(), QSize(256, 256));
    const auto stack = window->mdiArea()->subWindowList(QMdiArea::StackingOrder);
    ASSERT_EQ(stack.size(), 3);
    EXPECT_EQ(stack.last(), window->mdiArea()->activeSubWindow());
    for (int i = 1; i < 3; ++i) {
        EXPECT_GT(stack[i]->y(), stack[i - 1]->y()) << i;
        EXPECT_GT(stack[i]->x(), stack[i - 1]->x()) << i;
    }

    // The user's own resizing is kept.
    mtf->resize(300, 260);
    EXPECT_EQ(qm::SettingsStore(settingsFile).read("MTFtoolwidth").value_or(""), "300");

    // A stored size below the minimum opens at the minimum and is not written back.
    qm::WriteMtfToolSize(*std::make_unique<qm::SettingsStore>(settingsFile), 102, 78);
    mtf->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto secondState = std::make_unique<qm::SimState>();
    auto second = makeWindow(*secondState);
    second->RxSpeedButton5Click();
    QMdiSubWindow* again = second->findChild<QMdiSubWindow*>("MtfSubWindow");
    ASSERT_TRUE(again);
    EXPECT_GE(again->width(), 240);
    EXPECT_EQ(qm::SettingsStore(settingsFile).read("MTFtoolwidth").value_or(""), "102");
}

TEST(Memory, MeminfoIsReadToTheEnd)
{
    const QByteArray captured =
        "MemTotal:       24603412 kB\n"
        "MemFree:         1180300 kB\n"
        "MemAvailable:   20175504 kB\n"
        "Buffers:          394712 kB\n"
        "SwapCached:            0 kB\n"
        "SwapTotal:       2097148 kB\n"
        "SwapFree:        2097148 kB\n"
        "HugePages_Total:       0\n";
    const qm::MemoryFigures m = qm::ParseMeminfo(captured);
    EXPECT_EQ(m.total, 24603412ULL * 1024);
    EXPECT_EQ(m.available, 20175504ULL * 1024);
    EXPECT_EQ(m.virtualTotal, (24603412ULL + 2097148ULL) * 1024);
    EXPECT_EQ(m.virtualAvailable, (20175504ULL + 2097148ULL) * 1024);
    EXPECT_EQ(qm::MemoryStatusText(qm::ParseMeminfo("MemTotal: 8388608 kB\nMemAvailable: 3145728 kB\n"
                                                    "SwapTotal: 2097152 kB\nSwapFree: 2097152 kB\n")),
              "TotMem: 8388608 KBAvailMem: 3145728 KBVirtMem: 10240 MBAvailVirt: 5120 MB");
    EXPECT_EQ(qm::ParseMeminfo("garbage\n\nMemTotal: x kB\n").total, 0u);
#ifdef Q_OS_LINUX
    // The real file reports an end at once; its figures must still come through.
    EXPECT_GT(qm::QueryMemory().total, 0u);
    EXPECT_GT(qm::QueryMemory().available, 0u);
#endif
}

TEST_F(MainWindowTest, EyepieceReadoutFollowsEveryComputation)
{
    window->StarImageButtonClick();
    auto* spin = imageAt(0)->findChild<QDoubleSpinBox*>("ImageSpinControl");
    // 100 mm f/10 at 1224x: 0.8 mm.
    EXPECT_EQ(spin->value(), 0.8);
    EXPECT_EQ(panel().EyepieceFL->text(), "0.8");
    panel().ApertureSpin->setValue(200);
    imageAt(0)->findChild<QToolButton*>("UpdateButton")->click();
    EXPECT_EQ(spin->value(), 1.6);
    EXPECT_EQ(panel().EyepieceFL->text(), "1.6");
    window->calibrationTool()->ViewDistanceSpin->setValue(28.5);   // twice the magnification
    window->AllScopeButtonClick();
    EXPECT_EQ(spin->value(), 0.8);
    EXPECT_EQ(panel().EyepieceFL->text(), "0.8");
}

TEST_F(MainWindowTest, CaptionsLabelsLogAndPlotsStayReadable)
{
    // Eleven frequency labels run together at the default 256 pixels; fewer show.
    qm::TMTFForm form;
    form.resize(256, 256);
    form.show();
    auto* ticker = form.plot()->xAxis->ticker().dynamicCast<QCPAxisTickerFixed>().data();
    ASSERT_TRUE(ticker);
    EXPECT_GE(ticker->tickStep(), 0.2 - 1e-9);
    form.resize(700, 300);
    EXPECT_NEAR(ticker->tickStep(), 0.1, 1e-9);
    EXPECT_EQ(qm::FittingTickCount(1.0, 20, form.plot()->xAxis->tickLabelFont()), 2);

    // "Monitor" and "Calibrate" both fit the 57-pixel tool bar.
    auto* monitor = window->findChild<QToolButton*>("RxSpeedButton4");
    EXPECT_LE(monitor->sizeHint().height(), window->findChild<QToolBar*>("ToolBar")->height());
    EXPECT_GE(monitor->width(), monitor->fontMetrics().horizontalAdvance("Calibrate"));

    // The MTF caption with its warning fits the window's title.
    window->StarImageButtonClick();
    window->RxSpeedButton5Click();
    QMdiSubWindow* mtf = window->findChild<QMdiSubWindow*>("MtfSubWindow");
    window->mtfForm()->captionChanged("MTF Scope 1 UNDERSAMPLED");
    EXPECT_GE(mtf->minimumWidth(), mtf->fontMetrics().horizontalAdvance("MTF Scope 1 UNDERSAMPLED") + 96);
    EXPECT_GE(mtf->width(), mtf->minimumWidth());

    // A new picture does not bury the plot window.
    window->StarImageButtonClick();
    const auto stack = window->mdiArea()->subWindowList(QMdiArea::StackingOrder);
    EXPECT_GT(stack.indexOf(mtf), stack.indexOf(windows().last()));

    // The yellow line over an intra/extra pair has a dark backing under its text.
    window->RxSpeedButton2Click();
    auto* label = imageAt(int(windows().size()) - 1)->findChild<QLabel*>("TelescopeLabel");
    ASSERT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().startsWith("Focus (waves)"));
    const QImage look = label->grab().toImage();
    EXPECT_LT(qGray(look.pixel(1, 1)), 128);

    // The area scrolls to pictures beyond its edge.
    EXPECT_EQ(window->mdiArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(window->mdiArea()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    // Reopened, the log shows its newest line.
    auto* log = window->findChild<QDockWidget*>("Logwindow");
    for (int i = 0; i < 200; ++i)
        window->log(QStringLiteral("line %1").arg(i));
    log->show();
    QCoreApplication::processEvents();
    log->hide();
    window->logMemo()->verticalScrollBar()->setValue(0);
    log->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->logMemo()->verticalScrollBar()->value(), window->logMemo()->verticalScrollBar()->maximum());
    EXPECT_GT(window->logMemo()->verticalScrollBar()->maximum(), 0);
}

TEST_F(MainWindowTest, MenuTitlesAndImageWindowControlsShowTheirHints)
{
    QAction* file = window->menuBar()->actions().value(0);
    ASSERT_TRUE(file);
    file->showStatusText(window->menuBar());
    EXPECT_EQ(hint(*window), "File related commands");
    window->menuBar()->actions().value(2)->showStatusText(window->menuBar());
    EXPECT_EQ(hint(*window), "Window related commands such as Tile and Cascade");

    window->RxSpeedButton2Click();
    qm::TMDIImage* pair = imageAt(0);
    const std::pair<const char*, const char*> controls[] = {{"UpdateButton", "Update Image"},
                                                            {"ImageSpinControl", "Defocus in waves"},
                                                            {"RxSlider1", "Set defocus (waves)"},
                                                            {"LRGBControlbutton", "RGBL controls"}};
    for (const auto& [name, text] : controls) {
        QWidget* w = pair->findChild<QWidget*>(name);
        ASSERT_TRUE(w) << name;
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(w, &enter);
        EXPECT_EQ(hint(*window), text) << name;
    }
}

TEST_F(MainWindowTest, EmptyAndCoarsePupilsSayWhy)
{
    window->StarImageButtonClick();
    auto* label = imageAt(0)->findChild<QLabel*>("TelescopeLabel");
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().contains("coarse pupil: 22 samples in radius")) << label->text().toStdString();
    EXPECT_TRUE(label->text().contains("resolution 7.09 or lower gives at least 32"));

    panel().ResolutionSpin->setValue(5);
    imageAt(0)->findChild<QToolButton*>("UpdateButton")->click();
    EXPECT_FALSE(label->isVisible());

    panel().ResolutionSpin->setValue(10);
    panel().ObstructionSpin->setValue(20);
    panel().ApertureSpin->setValue(5);
    window->StarImageButtonClick();
    auto* empty = imageAt(1)->findChild<QLabel*>("TelescopeLabel");
    EXPECT_TRUE(empty->isVisible());
    EXPECT_TRUE(empty->text().contains("no open pupil sample at this aperture and resolution"));
    EXPECT_TRUE(logLines().contains("no open pupil sample at this aperture and resolution"));
}

} // namespace
