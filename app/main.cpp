// Quillmere: the program's entry. Creates the simulation state and the main
// window and runs until the window closes; the state outlives the window and
// every panel that holds it.
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere MDI"));
    auto state = std::make_unique<qm::SimState>();
    int status = 0;
    {
        qm::TMainForm window(*state);
        window.showMaximized();
        status = app.exec();
    }
    return status;
}
