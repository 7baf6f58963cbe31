#include "capture/JpegWriter.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/Exception.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/PathParts.h"

namespace vosta {

namespace {

constexpr int kQuality = 90;

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

// One compressor with its error handling, writing into the library's own memory destination,
// which grows its buffer with malloc and reports a refused allocation as JERR_OUT_OF_MEMORY.
// The library's state and the buffer are freed when it goes, also after a failure.
class Compressor {
 public:
  Compressor() {
    cinfo_.err = jpeg_std_error(&error_.pub);
    error_.pub.error_exit = ErrorExit;
    error_.pub.emit_message = EmitMessage;
    error_.pub.output_message = OutputMessage;
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  // Safe also when creation failed: the library frees only what it allocated.
  ~Compressor() {
    std::free(Output());
    jpeg_destroy_compress(&cinfo_);
  }

  jpeg_compress_struct& cinfo() { return cinfo_; }
  ErrorManager& error() { return error_; }

  // Points the compressor at its memory destination; after jpeg_create_compress.
  void UseMemoryDestination() {
    jpeg_mem_dest(&cinfo_, &buffer_, &size_);
    destinationReady_ = true;
  }

  // The encoded bytes, once the compression has finished.
  std::vector<std::uint8_t> Bytes() const { return {buffer_, buffer_ + size_}; }

 private:
  // The buffer the destination holds now. The destination tells its caller where the buffer
  // is only when it terminates: a buffer it grew before a failure is found by terminating it.
  unsigned char* Output() {
    if (destinationReady_) cinfo_.dest->term_destination(&cinfo_);
    return buffer_;
  }

  jpeg_compress_struct cinfo_{};
  ErrorManager error_{};
  unsigned char* buffer_ = nullptr;
  unsigned long size_ = 0;
  bool destinationReady_ = false;
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
  job.compressor->UseMemoryDestination();
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

  Compressor compressor;
  Job job{&compressor,
          colorSpace,
          components,
          static_cast<JDIMENSION>(source.width()),
          static_cast<JDIMENSION>(source.height()),
          rows.data()};
  if (const int code = RunGuarded(job); code != 0) {
    throw Exception::WithCode(Failure::JpegError, code);
  }
  try {
    return compressor.Bytes();
  } catch (const std::bad_alloc&) {
    throw Exception::WithCode(Failure::JpegError, JERR_OUT_OF_MEMORY);
  }
}

std::string SaveBitmapAsJpeg(const QImage& image, const std::string& path) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(image);

  const PathParts parts = SplitPath(path);
  return WriteNewFile(parts.folder, parts.base, parts.extension, bytes, path);
}

}  // namespace vosta
