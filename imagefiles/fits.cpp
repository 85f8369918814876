#include "imagefiles/fits.h"

#include <filesystem>
#include <system_error>

#include <dlfcn.h>
#include <fitsio.h>
#include <unistd.h>

namespace qm {

namespace {

// cfitsio is loaded when a FITS file is first written or read, not at start:
// through its network support it brings some thirty libraries whose loading
// would slow every start of the program and of quillmere-render.
struct FitsLibrary {
    std::string missing;   // why it could not be loaded; empty when loaded
    decltype(&ffinit) createFile = nullptr;
    decltype(&ffopentest) openFile = nullptr;
    decltype(&ffclos) closeFile = nullptr;
    decltype(&ffcrim) createImage = nullptr;
    decltype(&ffukys) updateKeyString = nullptr;
    decltype(&ffukyd) updateKeyDouble = nullptr;
    decltype(&ffppr) writeImage = nullptr;
    decltype(&ffgidm) imageDimensions = nullptr;
    decltype(&ffgisz) imageSize = nullptr;
    decltype(&ffgpv) readImage = nullptr;
    decltype(&ffgerr) errorText = nullptr;
};

template <typename F>
bool bind(void* handle, const char* name, F& f)
{
    f = reinterpret_cast<F>(::dlsym(handle, name));
    return f != nullptr;
}

const FitsLibrary& fitsLibrary()
{
    static const FitsLibrary lib = [] {
        FitsLibrary l;
        const std::string name = "libcfitsio.so." + std::to_string(CFITSIO_SONAME);
        void* h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            l.missing = "the FITS library " + name + " is not installed";
            return l;
        }
        const bool all = bind(h, "ffinit", l.createFile) && bind(h, "ffopentest", l.openFile) &&
                         bind(h, "ffclos", l.closeFile) && bind(h, "ffcrim", l.createImage) &&
                         bind(h, "ffukys", l.updateKeyString) && bind(h, "ffukyd", l.updateKeyDouble) &&
                         bind(h, "ffppr", l.writeImage) && bind(h, "ffgidm", l.imageDimensions) &&
                         bind(h, "ffgisz", l.imageSize) && bind(h, "ffgpv", l.readImage) &&
                         bind(h, "ffgerr", l.errorText);
        if (!all)
            l.missing = "the FITS library " + name + " lacks a function this program uses";
        return l;
    }();
    return lib;
}

std::string fitsError(const FitsLibrary& lib, int status)
{
    char text[FLEN_STATUS] = {};
    lib.errorText(status, text);
    return text;
}

} // namespace

std::vector<FitsKeyword> TelescopeKeywords(const ParamTable& params, int wavelength, int fftSize,
                                           double arcsecPerPixel)
{
    static const char* const names[kParamCount][2] = {
        {"RESOLUTN", "picture pixels per arcsec"}, {"APERTURE", "aperture in mm"},
        {"OBSTRUCT", "central obstruction, % of the diameter"}, {"FOCUS", "defocus in waves"},
        {"COMA", "coma in waves"}, {"COMAANGL", "coma angle in degrees"},
        {"ASTIG", "astigmatism in waves"}, {"ASTIGANG", "astigmatism angle in degrees"},
        {"LSA", "third-order spherical in waves"}, {"HSA", "fifth-order spherical in waves"},
        {"PINCH", "pinched optics in waves"}, {"PINCHANG", "pinch angle in degrees"},
        {"TUBE", "tube current in waves"}, {"TUBERAD", "tube current start, fraction of radius"},
        {"CHROMLAT", "lateral colour in waves"}, {"CHROMSHF", "longitudinal colour in waves"},
        {"TURBULEN", "seeing strength"}, {"FOCRATIO", "focal ratio"},
    };
    std::vector<FitsKeyword> k;
    for (int i = 0; i < kParamCount; ++i)
        k.push_back({names[i][0], params[std::size_t(i)].Value, names[i][1]});
    k.push_back({"WAVELEN", double(wavelength), "wavelength in nm"});
    k.push_back({"FFTSIZE", double(fftSize), "transform size N"});
    k.push_back({"PIXSCALE", arcsecPerPixel, "arcsec per pixel"});
    return k;
}

Status WriteFitsImage(const std::string& path, int width, int height, const std::vector<float>& data,
                      const std::vector<FitsKeyword>& keywords, const std::string& content)
{
    if (width < 1 || height < 1 || data.size() < std::size_t(width) * std::size_t(height))
        return Status::failure("cannot write " + path + ": no data");
    const FitsLibrary& lib = fitsLibrary();
    if (!lib.missing.empty())
        return Status::failure("cannot write " + path + ": " + lib.missing);
    const std::string temporary = path + ".tmp-fits-" + std::to_string(getpid());
    fitsfile* f = nullptr;
    int status = 0;
    std::error_code ec;
    std::filesystem::remove(temporary, ec);
    lib.createFile(&f, temporary.c_str(), &status);
    long axes[2] = {width, height};
    lib.createImage(f, FLOAT_IMG, 2, axes, &status);
    char contentKey[] = "CONTENT";
    lib.updateKeyString(f, contentKey, content.c_str(), "what the image holds", &status);
    for (const FitsKeyword& k : keywords)
        lib.updateKeyDouble(f, k.name.c_str(), k.value, -10, k.comment.c_str(), &status);
    lib.writeImage(f, TFLOAT, 1, LONGLONG(width) * height, const_cast<float*>(data.data()), &status);
    int closeStatus = 0;
    if (f)
        lib.closeFile(f, &closeStatus);
    if (status == 0)
        status = closeStatus;
    if (status != 0) {
        std::filesystem::remove(temporary, ec);
        return Status::failure("cannot write " + path + ": " + fitsError(lib, status));
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return Status::failure("cannot write " + path + ": " + ec.message());
    }
    return Status::success();
}

Status ReadFitsImage(const std::string& path, int& width, int& height, std::vector<float>& data)
{
    const FitsLibrary& lib = fitsLibrary();
    if (!lib.missing.empty())
        return Status::failure(path + ": " + lib.missing);
    fitsfile* f = nullptr;
    int status = 0, axesCount = 0;
    long axes[2] = {0, 0};
    lib.openFile(CFITSIO_SONAME, &f, path.c_str(), READONLY, &status);
    lib.imageDimensions(f, &axesCount, &status);
    if (status == 0 && axesCount != 2)
        status = BAD_NAXIS;
    lib.imageSize(f, 2, axes, &status);
    std::vector<float> pixels;
    if (status == 0 && axes[0] > 0 && axes[1] > 0 && axes[0] * axes[1] <= (64l << 20)) {
        pixels.resize(std::size_t(axes[0] * axes[1]));
        float nothing = 0.0f;
        int anyNull = 0;
        lib.readImage(f, TFLOAT, 1, LONGLONG(pixels.size()), &nothing, pixels.data(), &anyNull, &status);
    } else if (status == 0) {
        status = BAD_NAXES;
    }
    int closeStatus = 0;
    if (f)
        lib.closeFile(f, &closeStatus);
    if (status != 0)
        return Status::failure(path + ": " + fitsError(lib, status));
    width = int(axes[0]);
    height = int(axes[1]);
    data = std::move(pixels);
    return Status::success();
}

} // namespace qm
