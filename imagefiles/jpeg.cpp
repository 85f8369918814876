#include "imagefiles/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace qm {

namespace {

// libjpeg reports fatal errors through error_exit; jump back instead of exiting.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

void quiet(j_common_ptr, int) {}

// Limits of the pictures decoded: beyond any planet photograph.
constexpr unsigned long kMaxPixels = 64ul << 20;

// The jumps land in these two functions, whose own locals are never changed
// after setjmp: everything that changes lives in the caller.
bool compress(jpeg_compress_struct* c, ErrorManager* err, const QImage* rgb, int quality,
              unsigned char** buffer, unsigned long* size)
{
    if (setjmp(err->jump))
        return false;
    jpeg_create_compress(c);
    jpeg_mem_dest(c, buffer, size);
    c->image_width = JDIMENSION(rgb->width());
    c->image_height = JDIMENSION(rgb->height());
    c->input_components = 3;
    c->in_color_space = JCS_RGB;
    jpeg_set_defaults(c);
    jpeg_set_quality(c, quality, TRUE);
    jpeg_start_compress(c, TRUE);
    while (c->next_scanline < c->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb->constScanLine(int(c->next_scanline)));
        jpeg_write_scanlines(c, &row, 1);
    }
    jpeg_finish_compress(c);
    return true;
}

bool decompress(jpeg_decompress_struct* d, ErrorManager* err, const unsigned char* data, unsigned long size,
                QImage* image, bool* tooLarge)
{
    if (setjmp(err->jump))
        return false;
    jpeg_create_decompress(d);
    jpeg_mem_src(d, data, size);
    jpeg_read_header(d, TRUE);
    if (d->image_width == 0 || d->image_height == 0 ||
        static_cast<unsigned long>(d->image_width) * d->image_height > kMaxPixels) {
        *tooLarge = true;
        return false;
    }
    d->out_color_space = JCS_RGB;
    jpeg_start_decompress(d);
    *image = QImage(int(d->output_width), int(d->output_height), QImage::Format_RGB888);
    if (image->isNull() || d->output_components != 3) {
        *tooLarge = true;
        return false;
    }
    while (d->output_scanline < d->output_height) {
        JSAMPROW row = image->scanLine(int(d->output_scanline));
        jpeg_read_scanlines(d, &row, 1);
    }
    jpeg_finish_decompress(d);
    return true;
}

} // namespace

std::string EncodeJpeg(const QImage& picture, int quality)
{
    if (picture.isNull())
        return {};
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct c{};
    ErrorManager err{};
    c.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::string out;
    if (compress(&c, &err, &rgb, quality, &buffer, &size))
        out.assign(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

Status DecodeJpeg(std::string_view bytes, QImage& picture)
{
    if (bytes.empty())
        return Status::failure("Empty input file");
    jpeg_decompress_struct d{};
    ErrorManager err{};
    d.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = quiet;
    QImage image;
    bool tooLarge = false;
    const bool ok = decompress(&d, &err, reinterpret_cast<const unsigned char*>(bytes.data()),
                               static_cast<unsigned long>(bytes.size()), &image, &tooLarge);
    jpeg_destroy_decompress(&d);
    if (!ok)
        return Status::failure(tooLarge ? std::string("Out Of Memory ") : std::string(err.message));
    picture = image.convertToFormat(QImage::Format_RGB32);
    return Status::success();
}

} // namespace qm
