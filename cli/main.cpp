#include "cli/render.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <iostream>

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // Past a file-size limit a write must fail and be reported, not kill the
    // program with a half-written file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Every picture format the renderer reads or writes is built into Qt or
    // read by its own code, so Qt's plugin folders need no scanning (which
    // cost each run about half a millisecond).
    QCoreApplication::setLibraryPaths(QStringList());
    std::vector<std::string> args(argv + 1, argv + argc);
    return qm::RenderMain(args, std::cout, std::cerr);
}
