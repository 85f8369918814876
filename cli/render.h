#pragma once
// quillmere-render: star-test pictures from the command line, for atlases and
// scripts. Parsing and running are separate so both can be tested in-process.

#include "engine/simstate.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace qm {

struct RenderRequest {
    std::string kind;            // "star" or "intra"
    std::string output;          // .png or .bmp
    bool stats = false;
    std::string profileCsv;
    std::string mtfCsv;
    ParamTable params = DefaultParams();
    PanelInputs panel;
    int fftSize = 512;
    int size = 256;
    double defocus = 2.0;
};

struct ParseOutcome {
    bool ok = false;
    bool help = false;
    std::string error;           // one line naming the option and its allowed range
    RenderRequest request;
};

ParseOutcome ParseRenderArgs(const std::vector<std::string>& args);
std::string RenderUsage();

// Exit status: 0 done, 2 bad input (nothing written), 1 a file could not be written.
int RunRender(const RenderRequest& request, std::ostream& out, std::ostream& err);

// Parses and runs; what main() does.
int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace qm
