#pragma once
// The real main window, built offscreen for one test with its own settings file
// and simulation state.

#include "app/mainwindow.h"
#include "app/telescopepanel.h"
#include "imagewin/childimage.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <memory>

namespace qmtest {

using qm::TMainForm;

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *instance;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        settingsFile = QString::fromStdString(dir.file("settings.ini"));
        window = makeWindow(*state);
    }

    std::unique_ptr<TMainForm> makeWindow(qm::SimState& s)
    {
        auto w = std::make_unique<TMainForm>(s, std::make_unique<qm::SettingsStore>(settingsFile));
        w->resize(1400, 900);
        w->show();
        return w;
    }

    qm::TelescopePanel& panel() { return *window->telescopePanel(); }
    QList<QMdiSubWindow*> windows() { return window->mdiArea()->subWindowList(QMdiArea::CreationOrder); }
    qm::TMDIImage* imageAt(int i) { return qobject_cast<qm::TMDIImage*>(windows().at(i)->widget()); }
    QStringList logLines() { return window->logMemo()->toPlainText().split('\n'); }

    qmtest::TempDir dir;
    QString settingsFile;
    // Declared before the window, so the window goes first.
    std::unique_ptr<qm::SimState> state = std::make_unique<qm::SimState>();
    std::unique_ptr<TMainForm> window;
};

} // namespace qmtest
