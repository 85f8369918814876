// Renders the main window with a star, an intra/extra-focal pair and the PSF/EE
// and MTF windows into a PNG, for the README:
//   quillmere-screenshot docs/screenshot.png
// Runs offscreen unless a platform is named; uses a throw-away settings file.
#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshot.png");
    QTemporaryDir dir;
    qm::SimState state;
    qm::TMainForm window(state, std::make_unique<qm::SettingsStore>(dir.filePath(QStringLiteral("settings.ini"))));
    window.resize(1280, 820);
    window.show();
    app.processEvents();

    window.StarImageButtonClick();
    QMdiSubWindow* star = window.mdiArea()->activeSubWindow();
    window.RxSpeedButton2Click();   // Intra/Extra beside the star
    window.mdiArea()->setActiveSubWindow(star);
    window.RxSpeedButton7Click();   // PSF/EE of the active star
    window.mdiArea()->setActiveSubWindow(star);
    window.RxSpeedButton5Click();   // MTF, which has the star recompute for it
    const auto subs = window.mdiArea()->subWindowList(QMdiArea::CreationOrder);
    QMdiSubWindow* psf = subs.value(2);
    QMdiSubWindow* mtf = subs.value(3);
    if (psf && mtf && star) {
        psf->setGeometry(0, star->height(), 380, 300);
        mtf->setGeometry(390, star->height(), 420, 300);
    }
    for (int i = 0; i < 5; ++i)
        app.processEvents();
    const QPixmap shot = window.grab();
    QDir().mkpath(QFileInfo(out).absolutePath());
    if (!shot.save(out)) {
        std::fprintf(stderr, "quillmere-screenshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    // The log of the session: the computations and their times.
    std::fputs(qPrintable(window.logMemo()->toPlainText() + QLatin1Char('\n')), stdout);
    return 0;
}
