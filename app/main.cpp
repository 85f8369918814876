// Quillmere: the program's entry. Creates the main window and runs until it closes.
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere MDI"));
    qm::TMainForm window;
    window.showMaximized();
    return app.exec();
}
