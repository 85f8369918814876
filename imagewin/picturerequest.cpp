#include "imagewin/picturerequest.h"

#include "engine/fft.h"
#include "engine/pupil.h"

#include <cstdio>

namespace qm {

namespace {

// Resolutions the panel offers, in hundredths.
constexpr int kLowestResolution = 500;
constexpr int kHighestResolution = 2000;

std::string hundredths(int v)
{
    char buf[32];
    if (v % 100 == 0)
        std::snprintf(buf, sizeof buf, "%d", v / 100);
    else if (v % 10 == 0)
        std::snprintf(buf, sizeof buf, "%d.%d", v / 100, (v % 100) / 10);
    else
        std::snprintf(buf, sizeof buf, "%d.%02d", v / 100, v % 100);
    return buf;
}

void takeStar(SimState& s, const PictureInputs& in, PictureResult& r)
{
    r.star.present = true;
    r.star.peak = s.LastPsfMax;
    r.star.sampleCount = s.PupilSampleCount;
    if (in.wantMtf) {
        // The MTF transform reuses the intensity the star left in SpecRe.
        r.star.mtf = ComputeMtf(s);
        r.star.mtfComputed = true;
    }
}

void computeStar(SimState& s, const PictureInputs& in, PictureResult& r)
{
    if (in.phase == PicturePhase::Update)
        BuildBitRevTable(s);
    r.status = SynthesizePupil(s, 555);
    TransformPupil(s);
    r.notes = PupilNotes(s);
    takeStar(s, in, r);
    r.display = DibSquare(s, in.size, 255 - in.size / 2);
    r.spare = StarPicture(s, in.size);
}

void computeIntra(SimState& s, const PictureInputs& in, PictureResult& r)
{
    PairResult pair = IntraExtraPair(s, in.size, in.defocus);
    r.status = pair.status;
    r.notes = PupilNotes(s);
    // The pair's last star (-defocus) is the one the plot windows see.
    takeStar(s, in, r);
    r.display = pair.picture;
    r.spare = pair.picture;
}

} // namespace

std::vector<std::string> PupilNotes(const SimState& s)
{
    std::vector<std::string> notes;
    if (s.PupilRadius < 1)
        return notes;   // refused: the status says why
    if (s.PupilSampleCount == 0) {
        notes.push_back("no open pupil sample at this aperture and resolution");
        return notes;
    }
    if (s.PupilRadius >= kFinePupilRadius)
        return notes;
    // Rings and shadows of such a pupil show the square grid.
    std::string note = "coarse pupil: " + std::to_string(s.PupilRadius) + " samples in radius";
    const double aperture = s.Params[prmAperture].Value;
    int best = 0;
    for (int r = kHighestResolution; r >= kLowestResolution; --r)
        if (PupilRadiusFor(aperture, r * 0.01, s.FftSize, 555) >= kFinePupilRadius) {
            best = r;
            break;
        }
    if (best > 0)
        note += "; resolution " + hundredths(best) + " or lower gives at least " +
                std::to_string(kFinePupilRadius);
    else
        note += "; no resolution from 5 to 20 gives " + std::to_string(kFinePupilRadius) +
                " at this aperture and FFT size";
    notes.push_back(note);
    return notes;
}

PictureResult ComputePicture(SimState& s, const PictureInputs& in, const PictureHooks& hooks)
{
    (void)hooks;   // no kind built so far runs long enough to report progress
    PictureResult r;
    switch (in.kind) {
    case PictureKind::Star:
        computeStar(s, in, r);
        break;
    case PictureKind::Intra:
        computeIntra(s, in, r);
        break;
    default: {
        const PictureSize size = PictureSizeFor(in.kind, in.size);
        r.display = QImage(size.width, size.height, QImage::Format_RGB32);
        r.display.fill(Qt::black);
        r.spare = r.display;
        r.status = Status::failure("The \"" + std::string(KindKeyword(in.kind)) +
                                   "\" picture is not available in this version.");
        break;
    }
    }
    return r;
}

} // namespace qm
