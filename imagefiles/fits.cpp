#include "imagefiles/fits.h"

#include <filesystem>
#include <system_error>

#include <fitsio.h>
#include <unistd.h>

namespace qm {

namespace {

std::string fitsError(int status)
{
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
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
    const std::string temporary = path + ".tmp-fits-" + std::to_string(getpid());
    fitsfile* f = nullptr;
    int status = 0;
    std::error_code ec;
    std::filesystem::remove(temporary, ec);
    fits_create_file(&f, temporary.c_str(), &status);
    long axes[2] = {width, height};
    fits_create_img(f, FLOAT_IMG, 2, axes, &status);
    char contentKey[] = "CONTENT";
    fits_update_key_str(f, contentKey, content.c_str(), "what the image holds", &status);
    for (const FitsKeyword& k : keywords)
        fits_update_key_dbl(f, k.name.c_str(), k.value, -10, k.comment.c_str(), &status);
    fits_write_img(f, TFLOAT, 1, LONGLONG(width) * height, const_cast<float*>(data.data()), &status);
    int closeStatus = 0;
    if (f)
        fits_close_file(f, &closeStatus);
    if (status == 0)
        status = closeStatus;
    if (status != 0) {
        std::filesystem::remove(temporary, ec);
        return Status::failure("cannot write " + path + ": " + fitsError(status));
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
    fitsfile* f = nullptr;
    int status = 0, axesCount = 0;
    long axes[2] = {0, 0};
    fits_open_file(&f, path.c_str(), READONLY, &status);
    fits_get_img_dim(f, &axesCount, &status);
    if (status == 0 && axesCount != 2)
        status = BAD_NAXIS;
    fits_get_img_size(f, 2, axes, &status);
    std::vector<float> pixels;
    if (status == 0 && axes[0] > 0 && axes[1] > 0 && axes[0] * axes[1] <= (64l << 20)) {
        pixels.resize(std::size_t(axes[0] * axes[1]));
        float nothing = 0.0f;
        int anyNull = 0;
        fits_read_img(f, TFLOAT, 1, LONGLONG(pixels.size()), &nothing, pixels.data(), &anyNull, &status);
    } else if (status == 0) {
        status = BAD_NAXES;
    }
    int closeStatus = 0;
    if (f)
        fits_close_file(f, &closeStatus);
    if (status != 0)
        return Status::failure(path + ": " + fitsError(status));
    width = int(axes[0]);
    height = int(axes[1]);
    data = std::move(pixels);
    return Status::success();
}

} // namespace qm
