#include "report/controls/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace qrcontrols {

namespace {

// A progressive file may hold any number of scans, each a pass over the whole picture; real ones have a few.
constexpr int kMaxScans = 500;

// The library reports through this: a failure jumps back to the decoder with its message; so does a warning
// about damaged data, which the library would otherwise paper over with grey rows.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failWith(j_common_ptr cinfo, const char *message) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", message);
    std::longjmp(err->jump, 1);
}

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    failWith(cinfo, message);
}

void emitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0)
        return; // trace messages
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC)
        return; // about metadata we do not use
    errorExit(cinfo);
}

void outputMessage(j_common_ptr) {}

void watchScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        failWith(cinfo, "Too many scans in a progressive JPEG file");
}

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
};

// The two steps below run under setjmp: they hold no object with a destructor, so a jump out of the library
// skips nothing that must be undone. The image is allocated between them, outside.

bool readHeader(Decoder &d, const QByteArray &bytes) {
    if (setjmp(d.err.jump))
        return false;
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK)
        failWith(reinterpret_cast<j_common_ptr>(&d.cinfo), "The JPEG file holds no picture");
    return true;
}

bool readPixels(Decoder &d, uchar *bits, qsizetype bytesPerLine) {
    if (setjmp(d.err.jump))
        return false;
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
#else
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_ARGB;
#endif
    jpeg_start_decompress(&d.cinfo);
    // Files from some programs store CMYK inverted; they mark themselves with an Adobe marker.
    const bool inverted = d.cinfo.saw_Adobe_marker;
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        uchar *row = bits + qsizetype(d.cinfo.output_scanline) * bytesPerLine;
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&d.cinfo, rows, 1) != 1)
            failWith(reinterpret_cast<j_common_ptr>(&d.cinfo), "Premature end of JPEG file");
        if (cmyk) {
            // Four bytes per pixel either way: convert in place.
            auto *pixel = reinterpret_cast<QRgb *>(row);
            for (JDIMENSION x = 0; x < d.cinfo.output_width; ++x) {
                const uchar *p = row + 4 * x;
                int c = p[0], m = p[1], y = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                pixel[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

double density(UINT16 value, UINT8 unit) {
    if (value == 0)
        return 0;
    if (unit == 1)
        return value; // dots per inch
    if (unit == 2)
        return value * 2.54; // dots per centimetre
    return 0;                // an aspect ratio only
}

} // namespace

JpegPicture DecodeJpeg(const QByteArray &bytes, quint64 maxPixels, QString *error) {
    JpegPicture result;
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return JpegPicture();
    };
    if (bytes.isEmpty())
        return fail(QStringLiteral("The JPEG file is empty"));

    Decoder d;
    std::memset(&d, 0, sizeof d);
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = errorExit;
    d.err.pub.emit_message = emitMessage;
    d.err.pub.output_message = outputMessage;
    jpeg_create_decompress(&d.cinfo);
    d.progress.progress_monitor = watchScans;
    d.cinfo.progress = &d.progress;
    // A multi-scan file keeps its coefficients for the whole picture; beyond what the pixel cap allows for
    // them (two bytes for each of up to four components) the library gives up rather than ask for more.
    d.cinfo.mem->max_memory_to_use = long(std::min<quint64>(maxPixels, quint64(1) << 40) * 8 + (quint64(4) << 20));
    struct Destroy {
        jpeg_decompress_struct &cinfo;
        ~Destroy() { jpeg_destroy_decompress(&cinfo); }
    } destroy{d.cinfo};

    if (!readHeader(d, bytes))
        return fail(QString::fromLocal8Bit(d.err.message));
    const quint64 pixels = quint64(d.cinfo.image_width) * d.cinfo.image_height;
    if (pixels > maxPixels)
        return fail(QStringLiteral("The JPEG picture is too large (%1 x %2 pixels)")
                        .arg(d.cinfo.image_width)
                        .arg(d.cinfo.image_height));

    QImage image(int(d.cinfo.image_width), int(d.cinfo.image_height), QImage::Format_RGB32);
    if (image.isNull())
        return fail(QStringLiteral("Not enough memory for the JPEG picture"));
    if (!readPixels(d, image.bits(), image.bytesPerLine()))
        return fail(QString::fromLocal8Bit(d.err.message));

    if (d.cinfo.saw_JFIF_marker) {
        result.dpiX = density(d.cinfo.X_density, d.cinfo.density_unit);
        result.dpiY = density(d.cinfo.Y_density, d.cinfo.density_unit);
        if (result.dpiX == 0 || result.dpiY == 0)
            result.dpiX = result.dpiY = 0;
    }
    result.image = image;
    return result;
}

} // namespace qrcontrols
