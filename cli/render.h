#pragma once
// quillmere-render: star-test pictures from the command line, for atlases and
// scripts. Parsing (renderargs.h) and running are separate so both can be
// tested in-process.

#include "cli/renderargs.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace qm {

// Exit status: 0 done, 2 bad input (nothing written), 1 a file could not be
// written (nothing of this run is left).
int RunRender(const RenderRequest& request, std::ostream& out, std::ostream& err);

// The star's unit-sum PSF (N x N around the centre) or, for the wave kind, the
// wavefront plane as a FITS image with the telescope's keywords.
Status WriteFitsData(const SimState& s, PictureKind kind, const std::string& path);

// Parses and runs; what main() does.
int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace qm
