#pragma once

// The Video for Windows calls and records that the AVI writer is written against, with their
// Windows names, argument orders and result codes, implemented over FFmpeg's libavformat.
// Only what a recording of raw frames needs is here: the library's use count, creating a
// movie file, one video stream in it, its frame format, writing frames and releasing.

#include <cstdint>
#include <memory>
#include <string>

namespace vosta::vfw {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using HRESULT = std::int32_t;
using FOURCC = DWORD;

// Packs four characters into a code with the first character in the lowest byte.
constexpr FOURCC MakeFourCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<BYTE>(a)) |
         (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) |
         (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}

constexpr FOURCC streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
// The handler code that means "no compression".
constexpr FOURCC fccDIB = MakeFourCC('D', 'I', 'B', ' ');

// Result codes. Every call returns AVIERR_OK (0) on success.
constexpr HRESULT MakeAviErr(int code) { return static_cast<HRESULT>(0x80044000u + code); }
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = MakeAviErr(101);
constexpr HRESULT AVIERR_BADFORMAT = MakeAviErr(102);
constexpr HRESULT AVIERR_MEMORY = MakeAviErr(103);
constexpr HRESULT AVIERR_INTERNAL = MakeAviErr(104);
constexpr HRESULT AVIERR_BADFLAGS = MakeAviErr(105);
constexpr HRESULT AVIERR_BADPARAM = MakeAviErr(106);
constexpr HRESULT AVIERR_BADSIZE = MakeAviErr(107);
constexpr HRESULT AVIERR_BADHANDLE = MakeAviErr(108);
constexpr HRESULT AVIERR_FILEWRITE = MakeAviErr(110);
constexpr HRESULT AVIERR_FILEOPEN = MakeAviErr(111);
// The library is not initialised (no AVIFileInit in effect).
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// Open modes.
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_CREATE = 0x1000;

// Frame flags of AVIStreamWrite.
constexpr DWORD AVIIF_KEYFRAME = 0x10;

// biCompression of an uncompressed frame.
constexpr DWORD BI_RGB = 0;

// Compressor quality and state flags.
constexpr LONG ICQUALITY_DEFAULT = -1;
constexpr LONG ICQUALITY_HIGH = 10000;
constexpr DWORD ICMF_COMPVARS_VALID = 0x0001;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

// A stream's header.
struct AVISTREAMINFOA {
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;  // time base: dwRate / dwScale samples a second
  DWORD dwRate;
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];  // zero-terminated unless all 64 are used
};

// The format of one frame. A positive biHeight means the rows run bottom-up.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct IcCompressor;  // an open installable compressor
using HIC = IcCompressor*;

// The state of the installable compressor for a sequence of frames.
struct COMPVARS {
  LONG cbSize;
  DWORD dwFlags;
  HIC hic;
  DWORD fccType;
  DWORD fccHandler;
  void* lpbiIn;
  void* lpbiOut;
  void* lpBitsOut;
  void* lpBitsPrev;
  LONG lFrame;
  LONG lKey;
  LONG lDataRate;
  LONG lQ;
  LONG lKeyCount;
  void* lpState;
  LONG cbState;
};

// Handles of an open movie file and of one of its streams. The movie on disk is completed
// (index and headers written, file closed) when the file and all its streams are released.
struct AviFileObject;
struct AviStreamObject;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;

// Takes and gives back one use of the library; files open only while a use is in effect.
void AVIFileInit();
void AVIFileExit();

// Opens `fileName`. Supported: mode OF_WRITE | OF_CREATE (4097), which creates the file
// anew (an existing one is replaced). `handler` must be null. *file stays null on failure.
HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, UINT mode, const void* handler);
// Creates the file's stream from `info`: a video stream ("vids") whose rate is
// dwRate / dwScale frames a second, named after szName. One stream per file.
HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info);
// Sets the stream's frame format: a BITMAPINFOHEADER of `formatSize` bytes (at least 40),
// uncompressed (BI_RGB) with 16 (5-5-5) or 24 bits a pixel. Position must be 0. The movie's
// headers are written here, so a file that cannot take these frames fails now.
HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG formatSize);
// Appends `samples` frames' data at sample position `start`. The data reaches the file before
// the call returns, so a recorder that is killed loses no written frame.
HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* buffer,
                       LONG bufferSize, DWORD flags, LONG* samplesWritten, LONG* bytesWritten);
// Give the handles back; both return the references left on the movie (0: it is closed).
ULONG AVIStreamRelease(PAVISTREAM stream);
ULONG AVIFileRelease(PAVIFILE file);

// How many AVIFileInit calls are not yet paired with AVIFileExit.
int AviLibraryUsers();
// A readable description of the last failure of a call on this thread (FFmpeg's text
// included), for logs; empty when nothing failed yet.
std::string AviLastErrorText();

// RAII owners of the handles and of one library use.
struct AviFileReleaser {
  void operator()(PAVIFILE file) const { AVIFileRelease(file); }
};
struct AviStreamReleaser {
  void operator()(PAVISTREAM stream) const { AVIStreamRelease(stream); }
};
using AviFileHandle = std::unique_ptr<AviFileObject, AviFileReleaser>;
using AviStreamHandle = std::unique_ptr<AviStreamObject, AviStreamReleaser>;

class AviLibrary {
 public:
  AviLibrary() { AVIFileInit(); }
  ~AviLibrary() { AVIFileExit(); }
  AviLibrary(const AviLibrary&) = delete;
  AviLibrary& operator=(const AviLibrary&) = delete;
};

}  // namespace vosta::vfw
