// The plot windows: the stored perfect curve, captions, legends and their
// layout rule, and fills of the right length.
#include "analysis/mtfwindow.h"
#include "analysis/psfwindow.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

void ensureApp()
{
    static int argc = 1;
    static char name[] = "analysis_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

qm::MtfCurves curves(int points, float last)
{
    qm::MtfCurves c;
    for (int i = 0; i < points; ++i) {
        c.frequency.push_back(float(i) / points);
        c.curve1.push_back(i == points - 1 ? last : 1.0f - float(i) / points);
        c.curve2.push_back(1.0f - float(i) / points);
    }
    c.undersampled = last > 0.05f;   // as the MTF computation marks such a curve
    return c;
}

TEST(MtfWindow, PerfectCurveReachesZeroJustPastTheAxisEnd)
{
    ensureApp();
    qm::TMTFForm form;
    ASSERT_EQ(form.perfect()->dataCount(), 101);
    EXPECT_EQ(qm::PerfectMtf[94], 0.002098);
    EXPECT_EQ(qm::PerfectMtf[95], 0.0);
    auto it = form.perfect()->data()->at(95);
    EXPECT_NEAR(it->key, 1.0215, 1e-4);
    EXPECT_EQ(it->value, 0.0);
    EXPECT_EQ(form.xLine()->name(), "Vertical");
    EXPECT_EQ(form.yLine()->name(), "Horizontal");
}

TEST(MtfWindow, CaptionWarnsOnlyAboveFivePercent)
{
    ensureApp();
    qm::TMTFForm form;
    form.fillStar(curves(256, 0.05f), "Scope 1", true);
    EXPECT_EQ(form.windowTitle(), "MTF Scope 1");
    EXPECT_EQ(form.xLine()->dataCount(), 256);
    form.fillStar(curves(64, 0.0501f), "Scope 1", true);
    EXPECT_EQ(form.windowTitle(), "MTF Scope 1 UNDERSAMPLED");
    EXPECT_EQ(form.yLine()->dataCount(), 64);
    form.fillStar(curves(64, 0.5f), "Newton", false);   // activation: no check
    EXPECT_EQ(form.windowTitle(), "MTF Newton");
}

TEST(Legend, OneRowPerVisibleSeriesAndNoneWhenItDoesNotFit)
{
    ensureApp();
    qm::TMTFForm form;
    form.resize(408, 300);
    form.show();
    form.plot()->replot();
    const QRect box = form.plot()->legendRect();
    ASSERT_FALSE(box.isNull());
    const int rowHeight = form.fontMetrics().height() + 2;
    EXPECT_EQ(box.height(), 3 * rowHeight);   // the two chromatic series are hidden
    const QRect field = form.plot()->axisRect()->rect();
    EXPECT_EQ(box.right(), field.right() - 6);
    EXPECT_EQ(box.top(), field.top() + 6);

    form.resize(90, 60);
    form.plot()->resize(90, 60);
    form.plot()->replot();
    EXPECT_TRUE(form.plot()->legendRect().isNull());
}

TEST(PsfWindow, FillSetsLegendAxisAndPoints)
{
    ensureApp();
    qm::TPSFFORM form;
    EXPECT_EQ(form.windowTitle(), "PSFFORM");
    EXPECT_EQ(form.psfLine()->name(), "PSF");
    EXPECT_EQ(form.eeLine()->name(), "EE");
    qm::PsfProfile p;
    p.strehl = 0.8249;
    for (int i = 0; i < 16; ++i) {
        p.radiusArcsec.push_back(i / 5.0);
        p.psf.push_back(0.5);
        p.encircled.push_back(i / 16.0);
    }
    form.fill(p, "Scope 2", 128, 5.0);
    EXPECT_EQ(form.windowTitle(), "PSF Scope 2");
    EXPECT_EQ(form.psfLine()->name(), "PSF 0.82");
    EXPECT_EQ(form.psfLine()->dataCount(), 16);
    EXPECT_DOUBLE_EQ(form.plot()->xAxis->range().upper, 16 / 5.0);
    EXPECT_EQ(qm::TwoDecimals(0.5), "0.5");
    EXPECT_EQ(qm::TwoDecimals(1.0), "1");
    EXPECT_EQ(qm::TwoDecimals(0.255), "0.26");
}

TEST(MtfWindow, ChannelsOfAChromaticPictureFromMeasuredWavefronts)
{
    ensureApp();
    qm::TMTFForm form;
    EXPECT_FALSE(form.channelLine(0)->visible());
    EXPECT_FALSE(form.channelLine(1)->visible());
    form.fillChannel(0, 450, curves(64, 0.01f));
    form.fillChannel(1, 550, curves(64, 0.01f));
    form.fillChannel(2, 650, curves(64, 0.01f));
    EXPECT_FALSE(form.xLine()->visible());
    EXPECT_EQ(form.channelLine(0)->name(), "450nm");
    EXPECT_EQ(form.channelLine(1)->name(), "550nm");
    EXPECT_EQ(form.yLine()->name(), "650nm");
    EXPECT_TRUE(form.channelLine(0)->visible());
    EXPECT_EQ(form.channelLine(1)->dataCount(), 64);
    EXPECT_EQ(form.channelLine(3), nullptr);
}

} // namespace
