#include "cli/render.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // Past a file-size limit a write must fail and be reported, not kill the
    // program with a half-written file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    return qm::RenderMain(args, std::cout, std::cerr);
}
