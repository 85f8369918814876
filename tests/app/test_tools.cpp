// The OPD files tool, the slice window and the 3-D wavefront window, driven
// through the real main window offscreen.
#include "analysis/d3wavefront.h"
#include "analysis/slicewindow.h"
#include "app/opdtool.h"
#include "imagewin/spinboxes.h"
#include "support/mainwindowtest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

namespace {

using qmtest::MainWindowTest;
using namespace qm;

QStringList items(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

void click(QWidget* root, const char* name)
{
    auto* b = root->findChild<QToolButton*>(name);
    ASSERT_TRUE(b) << name;
    b->click();
}

TEST_F(MainWindowTest, OpdToolListsBothMasksWhateverTheirCase)
{
    dir.write("a.opd", "546,200\n0,0,0.1\n");
    dir.write("test.OPD", "633,150\n");
    dir.write("MIRROR.csv", "header of the mirror\n0,0x\n");
    dir.write("b.Csv", "another\n");
    dir.write("notes.txt", "");
    std::filesystem::create_directory(dir.path() / "folder.opd");
    mkfifo(dir.file("pipe.opd").c_str(), 0600);
    OPDFilesTool* tool = window->opdFilesTool();
    ASSERT_TRUE(tool->setDirectory(QString::fromStdString(dir.path().string())));
    EXPECT_EQ(items(tool->FileListBox1), QStringList({"a.opd", "test.OPD"}));
    EXPECT_EQ(items(tool->FileListBox2), QStringList({"b.Csv", "MIRROR.csv"}));
    EXPECT_EQ(window->Sim().panel.OpdDirectory, dir.path().string());
    // The first line of the file under the cursor.
    tool->FileListBox1->setCurrentRow(1);
    EXPECT_EQ(tool->Edit5->text(), "633,150");
    tool->FileListBox2->setCurrentRow(1);
    EXPECT_EQ(tool->Edit2->text(), "header of the mirror");
    // Something that is not a regular file shows nothing and never blocks.
    EXPECT_EQ(FirstLineOf(QString::fromStdString(dir.file("pipe.opd"))), QString());
    EXPECT_EQ(FirstLineOf(QString::fromStdString(dir.file("folder.opd"))), QString());
    // A folder that is not there is refused and nothing changes.
    EXPECT_FALSE(tool->setDirectory(QString::fromStdString(dir.file("gone"))));
    EXPECT_EQ(tool->FileListBox1->count(), 2);
    EXPECT_EQ(window->Sim().panel.OpdDirectory, dir.path().string());
}

TEST_F(MainWindowTest, OpdToolAssignsThreeFilesInTurnAndShowsAndHides)
{
    for (const char* name : {"1.opd", "2.opd", "3.opd"})
        dir.write(name, "546,200\n");
    OPDFilesTool* tool = window->opdFilesTool();
    ASSERT_TRUE(tool->setDirectory(QString::fromStdString(dir.path().string())));
    tool->FileListBox1->setCurrentRow(0);
    click(tool, "BlueOPDassignbutton");
    click(tool, "GreenOPDassignbutton");
    click(tool, "RedOPDassignbutton");
    EXPECT_EQ(tool->BlueOPDname->text(), "1.opd");
    EXPECT_EQ(tool->GreenOPDname->text(), "2.opd");
    EXPECT_EQ(tool->RedOPDname->text(), "3.opd");
    EXPECT_EQ(window->Sim().BlueOpdFile, "1.opd");
    EXPECT_EQ(window->Sim().GreenOpdFile, "2.opd");
    EXPECT_EQ(window->Sim().RedOpdFile, "3.opd");
    EXPECT_EQ(tool->FileListBox1->currentRow(), 2);   // red does not move on

    QDockWidget* dock = window->opdFilesWindow();
    EXPECT_FALSE(dock->isVisible());
    click(window.get(), "RxSpeedButton6");
    EXPECT_TRUE(dock->isVisible());
    EXPECT_EQ(dock->windowTitle(), "Optical Path Difference Files");
    click(window.get(), "RxSpeedButton6");
    EXPECT_FALSE(dock->isVisible());
}

TEST_F(MainWindowTest, OpdGreenPictureWithoutAFileIsAPlainWavePicture)
{
    OPDFilesTool* tool = window->opdFilesTool();
    ASSERT_TRUE(tool->setDirectory(QString::fromStdString(dir.path().string())));
    click(tool, "SpeedButton5");
    ASSERT_EQ(windows().size(), 1);
    EXPECT_EQ(imageAt(0)->Kind, PictureKind::Wave);
    EXPECT_TRUE(tool->UseOPDcheckbox->isChecked());
    EXPECT_TRUE(window->Sim().panel.UseOPDcheckbox);
    EXPECT_EQ(window->Sim().OpdChannel, 0);
    EXPECT_LT(window->Sim().WavePeak - window->Sim().WaveValley, 1e-4);   // no data: a perfect wavefront

    // The profile: loaded from the list, then its picture.
    dir.write("bad.csv", "header\n0,abcx\n");
    dir.write("tilt.csv", "header\n0,0x\n40,555x\n");
    tool->setDirectory(QString::fromStdString(dir.path().string()));
    tool->UseOPDcheckbox->setChecked(false);
    tool->FileListBox2->setCurrentRow(0);
    click(tool, "SpeedButton7");
    EXPECT_TRUE(window->findChild<QMessageBox*>("ProblemBox"));   // the reader's reason
    tool->FileListBox2->setCurrentRow(1);
    click(tool, "SpeedButton7");
    EXPECT_EQ(tool->Edit1->text(), "tilt.csv");
    EXPECT_EQ(window->Sim().MirrorProfileScale, 40.0f);
    click(tool, "SpeedButton8");
    EXPECT_TRUE(tool->UseProfileBox->isChecked());
    ASSERT_EQ(windows().size(), 2);
    EXPECT_EQ(imageAt(1)->Kind, PictureKind::Wave);
    EXPECT_NEAR(window->Sim().WavePeak, 1.0, 0.05);   // 555 nm at the rim
}

TEST_F(MainWindowTest, OpdFolderIsFoundAgainAtTheNextStart)
{
    std::filesystem::create_directory(dir.path() / "measured");
    dir.write("measured/x.opd", "546,200\n");
    const QString folder = QString::fromStdString((dir.path() / "measured").string());
    ASSERT_TRUE(window->opdFilesTool()->setDirectory(folder));
    window.reset();
    window = makeWindow(*state);
    EXPECT_EQ(window->opdFilesTool()->directory(), folder);
    EXPECT_EQ(items(window->opdFilesTool()->FileListBox1), QStringList({"x.opd"}));
    window.reset();

    // A remembered folder that has gone: the current one, and a word in the log.
    std::filesystem::remove_all(dir.path() / "measured");
    window = makeWindow(*state);
    EXPECT_EQ(window->opdFilesTool()->directory(), QDir::currentPath());
    EXPECT_TRUE(window->logMemo()->toPlainText().contains("is not there"));
}

TEST_F(MainWindowTest, SliceWindowOpensOnceCouplesItsFocusAndRefusesZero)
{
    click(window.get(), "RxSpeedButton8");
    click(window.get(), "RxSpeedButton8");
    ASSERT_EQ(windows().size(), 1);
    auto* form = qobject_cast<TSliceForm*>(windows().at(0)->widget());
    ASSERT_TRUE(form);
    EXPECT_TRUE(window->SliceFormOpen);
    EXPECT_EQ(form->SliceFFTSpace->currentText(), "128");
    EXPECT_EQ(form->TrackBar1->value(), 40);
    form->SliceFocus->setValue(2.5);
    EXPECT_EQ(form->TrackBar1->value(), 25);
    form->TrackBar1->setValue(60);
    EXPECT_DOUBLE_EQ(form->SliceFocus->value(), 6.0);

    form->SliceFocus->setValue(0.0);
    click(form, "RxSpeedButton1");
    EXPECT_TRUE(form->picture().isNull());
    EXPECT_FALSE(form->message->isHidden());
    EXPECT_EQ(form->message->text(), "Focus range must be above 0");

    form->SliceFocus->setValue(4.0);
    form->SliceWidth->setValue(64);
    form->SliceHeight->setValue(64);
    click(form, "RxSpeedButton1");
    EXPECT_TRUE(form->message->isHidden());
    EXPECT_EQ(form->picture().size(), QSize(64, 64));
    EXPECT_EQ(windows().at(0)->windowTitle(), "Slice Scope 1");
    EXPECT_GE(form->width(), 286);
    EXPECT_GE(form->height(), 224);
    EXPECT_EQ(window->Sim().FftSize, 512);
    EXPECT_FALSE(window->busy());
    // Another range keeps the last picture until the next Calculate.
    const QImage before = form->picture();
    form->SliceFocus->setValue(0.0);
    click(form, "RxSpeedButton1");
    EXPECT_EQ(form->picture(), before);

    windows().at(0)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->SliceFormOpen);
    click(window.get(), "RxSpeedButton8");
    EXPECT_EQ(windows().size(), 1);
}

TEST_F(MainWindowTest, SliceEscapeStopsWithTheColumnsDone)
{
    click(window.get(), "RxSpeedButton8");
    auto* form = qobject_cast<TSliceForm*>(windows().at(0)->widget());
    ASSERT_TRUE(form);
    form->SliceFFTSpace->setCurrentText("256");
    form->SliceWidth->setValue(256);
    window->telescopePanel()->FocusControl->setValue(1.0);
    const double focus = window->Sim().Params[prmFocus].Value;
    // Escape arrives while the columns run.
    QTimer::singleShot(0, form, [form] { QTest::keyClick(form->SliceWidth, Qt::Key_Escape); });
    click(form, "RxSpeedButton1");
    ASSERT_FALSE(form->picture().isNull());
    // The columns never reached stay black; the scale is there.
    EXPECT_EQ(qGray(form->picture().pixel(250, 64)), 0);
    EXPECT_EQ(form->picture().pixel(0, 127) | 0xff000000u, 0xffffff00u);
    EXPECT_EQ(window->Sim().FftSize, 512);
    EXPECT_EQ(window->Sim().Params[prmFocus].Value, focus);
    EXPECT_FALSE(window->Sim().UseFixedPsfMax);
    EXPECT_FALSE(window->busy());
}

TEST_F(MainWindowTest, Wave3dOpensOnceAndFollowsEveryStar)
{
    auto* menu = window->findChild<QMenu*>("PopupMenu1");
    QAction* item = window->findChild<QAction*>("N3dWavefront1");
    ASSERT_TRUE(menu && item);
    item->trigger();
    item->trigger();
    ASSERT_EQ(windows().size(), 1);
    auto* form = qobject_cast<TD3Wave*>(windows().at(0)->widget());
    ASSERT_TRUE(form);
    EXPECT_EQ(windows().at(0)->windowTitle(), "D3Wave");
    EXPECT_EQ(window->Sim().PupilRadius, 10);   // no synthesis yet
    form->Distance3d->setValue(100);
    EXPECT_DOUBLE_EQ(form->view().distance, 10.0);
    form->Distance3d->setValue(50);
    EXPECT_DOUBLE_EQ(form->view().distance, 5.0);
    form->Y3d->setValue(30);
    form->Z3d->setValue(200);
    EXPECT_DOUBLE_EQ(form->view().yRotation, 30.0);
    EXPECT_DOUBLE_EQ(form->view().zRotation, 200.0);

    window->telescopePanel()->AstigControl->setValue(0.5);
    click(window.get(), "StarImageButton");
    EXPECT_GT(form->surface().zWidth, 0.3 + 0.4);   // the astigmatic wavefront
    const double width = form->surface().zWidth;
    window->telescopePanel()->AstigControl->setValue(0.0);
    panel().AllScopeButton->click();
    EXPECT_DOUBLE_EQ(form->surface().zWidth, 0.3);
    EXPECT_NE(width, 0.3);
    // The picture shows the box and the surface.
    const QImage shown = form->WavefrontImage->rendered();
    EXPECT_FALSE(shown.isNull());
    windows().at(0)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->D3WaveOpen);
}

} // namespace

namespace {

TEST_F(MainWindowTest, LiveSeeingBoilsTheStarAndStopsWhenReleased)
{
    panel().TurbulenceSpin->setValue(1.0);
    click(window.get(), "StarImageButton");
    ASSERT_EQ(windows().size(), 1);
    qm::TMDIImage* image = imageAt(0);
    auto* live = image->findChild<QToolButton*>("LiveButton");
    ASSERT_TRUE(live);
    EXPECT_FALSE(live->isHidden());
    EXPECT_FALSE(live->isChecked());   // off by default
    const QImage still = image->displayImage();
    const int logged = int(logLines().size());
    live->click();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_NE(image->displayImage(), still);   // a new screen, a new picture
    auto* label = image->findChild<QLabel*>("TelescopeLabel");
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->text().contains("frames/s")) << label->text().toStdString();
    EXPECT_EQ(int(logLines().size()), logged);   // frames do not fill the log
    live->click();
    QCoreApplication::processEvents();
    const QImage stopped = image->displayImage();
    clock.restart();
    while (clock.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(image->displayImage(), stopped);
    EXPECT_FALSE(label->text().contains("frames/s"));

    // Only star and intra pictures have it.
    window->findChild<QAction*>("WaveMenuitem")->trigger();
    ASSERT_EQ(windows().size(), 2);
    EXPECT_TRUE(imageAt(1)->findChild<QToolButton*>("LiveButton")->isHidden());
}

} // namespace
