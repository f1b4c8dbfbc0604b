// The chart's picture as a JPEG: libjpeg at quality 100 with no chroma subsampling, so thin
// coloured trace lines keep their colour.
#include <QImage>
#include <QPixmap>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "platform/qt/chartjpeg.h"
#include "platform/qt/qtchartview.h"

namespace platform {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onjpegerror(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

// Encodes 8-bit RGB rows into memory; only trivially destructible locals cross the setjmp.
bool encode(const QImage& rgb, unsigned char** out, unsigned long* size, char* message) {
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onjpegerror;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::strcpy(message, err.message);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int c = 0; c < 3; ++c) {  // 4:4:4
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool writefile(const std::string& file, const unsigned char* data, unsigned long size,
               std::string& error) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(data, 1, size, f) == size;
    const int writeerrno = errno;
    if (std::fclose(f) != 0 || !written) {
        error = std::strerror(written ? errno : writeerrno);
        return false;
    }
    return true;
}

}  // namespace

bool qt::grabchartjpeg(const Chart& chart, const std::string& file, std::string& error) {
    QWidget* w = qt::chartwidget(chart);
    if (!w) {
        error = "The chart is not shown.";
        return false;
    }
    QImage image = w->grab().toImage();
    if (image.size() != w->size()) image = image.scaled(w->size());  // high-DPI screens
    image = image.convertToFormat(QImage::Format_RGB888);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool encoded = encode(image, &data, &size, message);
    bool ok = false;
    if (!encoded) {
        error = message;
    } else {
        ok = writefile(file, data, size, error);
    }
    std::free(data);
    return ok;
}

}  // namespace platform
