#include "capture/JpegWriter.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/PathParts.h"

namespace vosta {

namespace {

constexpr int kQuality = 90;
constexpr std::size_t kBufferSize = 4096;

// libjpeg reports a fatal error by calling error_exit, which must not return. Ours leaves
// through longjmp back to RunGuarded, the one place that calls setjmp.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings and traces are of no use to the user: the encoder stays quiet.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

// Collects the encoder's output through a fixed buffer that is emptied into a growing vector.
struct MemoryDestination {
  jpeg_destination_mgr pub;
  std::vector<std::uint8_t>* out;
  JOCTET buffer[kBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
}

// Appends `count` bytes of the buffer; an allocation failure becomes an encoder error, as no
// C++ exception may pass through the library's C frames.
void Flush(j_compress_ptr cinfo, std::size_t count) {
  auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  bool outOfMemory = false;
  try {
    dest->out->insert(dest->out->end(), dest->buffer, dest->buffer + count);
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  if (outOfMemory) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  Flush(cinfo, kBufferSize);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  Flush(cinfo, kBufferSize - cinfo->dest->free_in_buffer);
}

// One compressor with its error handling and memory destination; the library's state is freed
// when it goes.
class Compressor {
 public:
  explicit Compressor(std::vector<std::uint8_t>& out) {
    cinfo_.err = jpeg_std_error(&error_.pub);
    error_.pub.error_exit = ErrorExit;
    error_.pub.emit_message = EmitMessage;
    error_.pub.output_message = OutputMessage;
    destination_.pub.init_destination = InitDestination;
    destination_.pub.empty_output_buffer = EmptyOutputBuffer;
    destination_.pub.term_destination = TermDestination;
    destination_.out = &out;
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  // Safe also when creation failed: the library frees only what it allocated.
  ~Compressor() { jpeg_destroy_compress(&cinfo_); }

  jpeg_compress_struct& cinfo() { return cinfo_; }
  ErrorManager& error() { return error_; }
  jpeg_destination_mgr* destination() { return &destination_.pub; }

 private:
  jpeg_compress_struct cinfo_{};
  ErrorManager error_{};
  MemoryDestination destination_{};
};

// What one encoding needs, held by plain pointers so that a longjmp out of it skips no
// destructor.
struct Job {
  Compressor* compressor;
  J_COLOR_SPACE colorSpace;
  int components;
  JDIMENSION width;
  JDIMENSION height;
  JSAMPROW* rows;
};

void Encode(Job& job) {
  jpeg_compress_struct& cinfo = job.compressor->cinfo();
  jpeg_create_compress(&cinfo);
  cinfo.dest = job.compressor->destination();
  cinfo.image_width = job.width;
  cinfo.image_height = job.height;
  cinfo.input_components = job.components;
  cinfo.in_color_space = job.colorSpace;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kQuality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    jpeg_write_scanlines(&cinfo, job.rows + cinfo.next_scanline,
                         cinfo.image_height - cinfo.next_scanline);
  }
  jpeg_finish_compress(&cinfo);
}

// Runs the encoding; 0 when it went well, else the encoder's message number.
int RunGuarded(Job& job) {
  ErrorManager& error = job.compressor->error();
  if (setjmp(error.jump) != 0) return error.pub.msg_code;
  Encode(job);
  return 0;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const QImage& image) {
  // The input the encoder reads directly; everything else goes through 32-bit colour.
  QImage source = image;
  J_COLOR_SPACE colorSpace = JCS_EXT_BGRX;
  int components = 4;
  switch (image.format()) {
    case QImage::Format_RGB888:
      colorSpace = JCS_EXT_RGB;
      components = 3;
      break;
    case QImage::Format_BGR888:
      colorSpace = JCS_EXT_BGR;
      components = 3;
      break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
      break;
    default:
      source = image.convertToFormat(QImage::Format_RGB32);
      break;
  }
  if (components == 4 && Q_BYTE_ORDER == Q_BIG_ENDIAN) colorSpace = JCS_EXT_XRGB;

  // libjpeg takes writable row pointers but only reads the rows.
  std::vector<JSAMPROW> rows(static_cast<std::size_t>(source.height()));
  for (int y = 0; y < source.height(); ++y) {
    rows[static_cast<std::size_t>(y)] = const_cast<JSAMPROW>(source.constScanLine(y));
  }

  std::vector<std::uint8_t> out;
  Compressor compressor(out);
  Job job{&compressor,
          colorSpace,
          components,
          static_cast<JDIMENSION>(source.width()),
          static_cast<JDIMENSION>(source.height()),
          rows.data()};
  if (const int code = RunGuarded(job); code != 0) {
    throw Exception::Formatted("JPEG エラー #%d", std::to_string(code));
  }
  return out;
}

std::string SaveBitmapAsJpeg(const QImage& image, const std::string& path) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(image);

  const PathParts parts = SplitPath(path);
  return WriteNewFile(parts.folder, parts.base, parts.extension, bytes, path);
}

}  // namespace vosta
