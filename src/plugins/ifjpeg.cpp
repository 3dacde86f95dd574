// ifjpeg.spi: JPEG pictures through libjpeg-turbo.
//
// Colour pictures come out as 24 bits (libjpeg-turbo writes blue, green, red straight into
// the rows), greyscale ones as 8 bits with a grey colour table; CMYK and YCCK pictures are
// converted to 24 bits here (Adobe's inverted form included). GetPreview decodes at a quarter
// of each side with libjpeg's scaled decoding (sizes rounded up, as the picture control
// expects). GetPictureInfo reads the header only: width, height, 8 bits per component, square
// pixels, no text.
//
// Bad input: no SOI marker (FF D8) at the start is an unknown format (2). Every decoder error
// ends in error_exit, which jumps back here (setjmp/longjmp: the library is C, and no C++
// object lives in the frames jumped over) and gives broken data (3), or 4 when the decoder
// ran out of memory. Data that ends early is broken data (3) even though the decoder would
// fill the rest in grey; warnings about corrupt data otherwise are silent. A picture over the
// size limit gives 4 before its pixels are decoded; the decoder's own memory is capped too
// (kDecoderMemory, which holds the coefficients of a progressive picture at the size limit), and
// a picture of more than kMaxScans scans (a known way to make a small file cost minutes) is
// broken data.
#include "plugins/spi_bitmap.h"
#include "plugins/spi_entry.h"
#include "plugins/spi_source.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>

namespace pelorin::spi {
namespace {

constexpr long kDecoderMemory = 512L * 1024 * 1024;
constexpr int kMaxScans = 1000;
constexpr size_t kBufferSize = 4096;

struct Errors {
    jpeg_error_mgr mgr;  // first: libjpeg's err pointer is cast to this
    jmp_buf jump;
    int code;        // the result code of the jump
    bool truncated;  // the data ended before the picture did
};

struct Source {
    jpeg_source_mgr mgr;  // first: libjpeg's src pointer is cast to this
    SpiSource* input;
    Errors* errors;
    JOCTET buffer[kBufferSize];
};

// Everything one decode touches, owned by the entry point's frame (outside the jump).
struct Job {
    jpeg_decompress_struct cinfo{};
    Errors errors{};
    Source source{};
    jpeg_progress_mgr progress{};
    bool created = false;
    JSAMPLE* cmykRow = nullptr;  // one CMYK row, malloc'ed
    ~Job() {
        if (created)
            jpeg_destroy_decompress(&cinfo);
        std::free(cmykRow);
    }
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<Errors*>(cinfo->err);
    errors->code = cinfo->err->msg_code == JERR_OUT_OF_MEMORY ? SPI_NO_MEMORY : SPI_BROKEN_DATA;
    std::longjmp(errors->jump, 1);
}

void OutputMessage(j_common_ptr) {}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0) {
        cinfo->err->num_warnings++;
        if (cinfo->err->msg_code == JWRN_JPEG_EOF)
            reinterpret_cast<Errors*>(cinfo->err)->truncated = true;
    }
}

void ProgressMonitor(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        auto* errors = reinterpret_cast<Errors*>(cinfo->err);
        errors->code = SPI_BROKEN_DATA;
        std::longjmp(errors->jump, 1);
    }
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<Source*>(cinfo->src);
    size_t n = src->input->Read(src->buffer, kBufferSize);
    if (n == 0) {
        // The data ended early: an end-of-image marker lets the decoder stop cleanly.
        src->errors->truncated = true;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->mgr.next_input_byte = src->buffer;
    src->mgr.bytes_in_buffer = n;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<Source*>(cinfo->src);
    if (count <= 0)
        return;
    auto n = static_cast<size_t>(count);
    if (n <= src->mgr.bytes_in_buffer) {
        src->mgr.next_input_byte += n;
        src->mgr.bytes_in_buffer -= n;
        return;
    }
    n -= src->mgr.bytes_in_buffer;
    src->mgr.bytes_in_buffer = 0;
    const uint64_t target = src->input->Tell() + n;
    if (target > src->input->Size() || !src->input->Seek(target))
        src->input->Seek(src->input->Size());  // the next fill reports the early end
}

void TermSource(j_decompress_ptr) {}

// The steps that may jump: the header, and with `bitmap` the pixels (a quarter of each side
// with `preview`). Returns the result code.
int Run(Job& job, SpiSource& input, SpiBitmap* bitmap, bool preview, SpiPictureInfo* info) {
    jpeg_decompress_struct& cinfo = job.cinfo;
    cinfo.err = jpeg_std_error(&job.errors.mgr);
    job.errors.mgr.error_exit = ErrorExit;
    job.errors.mgr.output_message = OutputMessage;
    job.errors.mgr.emit_message = EmitMessage;
    if (setjmp(job.errors.jump))
        return job.errors.code;
    jpeg_create_decompress(&cinfo);
    job.created = true;
    cinfo.mem->max_memory_to_use = kDecoderMemory;
    job.progress.progress_monitor = ProgressMonitor;
    cinfo.progress = &job.progress;
    job.source.input = &input;
    job.source.errors = &job.errors;
    job.source.mgr.init_source = InitSource;
    job.source.mgr.fill_input_buffer = FillInputBuffer;
    job.source.mgr.skip_input_data = SkipInputData;
    job.source.mgr.resync_to_restart = jpeg_resync_to_restart;
    job.source.mgr.term_source = TermSource;
    cinfo.src = &job.source.mgr;
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return SPI_BROKEN_DATA;
    if (job.errors.truncated)
        return SPI_BROKEN_DATA;
    if (const int size = CheckSize(cinfo.image_width, cinfo.image_height);
        size != SPI_OK && (bitmap || size != SPI_NO_MEMORY))
        return size;
    if (info) {
        info->width = static_cast<int32_t>(cinfo.image_width);
        info->height = static_cast<int32_t>(cinfo.image_height);
        info->hDensity = info->vDensity = 1;
        info->colorDepth = static_cast<int16_t>(8 * cinfo.num_components);
        return SPI_OK;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    if (preview) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = 4;
    }
    jpeg_calc_output_dimensions(&cinfo);
    const auto width = static_cast<int32_t>(cinfo.output_width);
    const auto height = static_cast<int32_t>(cinfo.output_height);
    if (const int made = bitmap->Create(width, height, grey ? 8 : 24, grey ? 256 : 0);
        made != SPI_OK)
        return made;
    if (grey)
        bitmap->SetGreys(256, false);
    if (cmyk) {
        job.cmykRow = static_cast<JSAMPLE*>(std::malloc(4 * static_cast<size_t>(width)));
        if (!job.cmykRow)
            return SPI_NO_MEMORY;
    }
    jpeg_start_decompress(&cinfo);
    if (job.errors.truncated)
        return SPI_BROKEN_DATA;
    while (cinfo.output_scanline < cinfo.output_height) {
        const auto y = static_cast<int32_t>(cinfo.output_scanline);
        JSAMPROW row = cmyk ? job.cmykRow : bitmap->Row(y);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1 || job.errors.truncated)
            return SPI_BROKEN_DATA;
        if (cmyk) {
            // Adobe writes CMYK inverted (0 = full ink); others write it plainly.
            const bool inverted = cinfo.saw_Adobe_marker;
            unsigned char* out = bitmap->Row(y);
            for (int32_t x = 0; x < width; ++x) {
                int c = job.cmykRow[4 * x], m = job.cmykRow[4 * x + 1], ye = job.cmykRow[4 * x + 2],
                    k = job.cmykRow[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                out[3 * x] = static_cast<unsigned char>(ye * k / 255);
                out[3 * x + 1] = static_cast<unsigned char>(m * k / 255);
                out[3 * x + 2] = static_cast<unsigned char>(c * k / 255);
            }
        }
    }
    return SPI_OK;
}

int Decode(
    const char* name, long offset, unsigned flag, void** info, void** bits, bool preview) noexcept {
    SpiSource input;
    if (const int opened = OpenForPicture(input, name, offset, flag, info, bits); opened != SPI_OK)
        return opened;
    static const unsigned char kSoi[] = {0xFF, 0xD8};
    if (!input.StartsWith(kSoi, sizeof kSoi))
        return input.Failed() ? SPI_READ_ERROR : SPI_UNKNOWN_FORMAT;
    SpiBitmap bitmap;
    Job job;
    const int result = Run(job, input, &bitmap, preview, nullptr);
    if (result != SPI_OK)
        return input.Failed() ? SPI_READ_ERROR : result;
    bitmap.Release(info, bits);
    return SPI_OK;
}

}  // namespace
}  // namespace pelorin::spi

using namespace pelorin::spi;

SPI_EXPORT int GetPictureInfo(const char* name, long offset, unsigned flag, SpiPictureInfo* info) {
    SpiSource input;
    if (const int opened = OpenForInfo(input, name, offset, flag, info); opened != SPI_OK)
        return opened;
    static const unsigned char kSoi[] = {0xFF, 0xD8};
    if (!input.StartsWith(kSoi, sizeof kSoi))
        return input.Failed() ? SPI_READ_ERROR : SPI_UNKNOWN_FORMAT;
    Job job;
    SpiPictureInfo found{};
    const int result = Run(job, input, nullptr, false, &found);
    if (result != SPI_OK)
        return input.Failed() ? SPI_READ_ERROR : result;
    *info = found;
    return SPI_OK;
}

SPI_EXPORT int GetPicture(
    const char* name, long offset, unsigned flag, void** info, void** bits, SpiProgress, long) {
    return Decode(name, offset, flag, info, bits, false);
}

SPI_EXPORT int GetPreview(
    const char* name, long offset, unsigned flag, void** info, void** bits, SpiProgress, long) {
    return Decode(name, offset, flag, info, bits, true);
}
