#pragma once

// The Video for Windows calls and records that the AVI writer is written against, with their
// Windows names, argument orders and result codes, implemented over FFmpeg: the library's use
// count, creating and reading movie files with one video stream, writing and reading frames,
// the installable compressors (choosing one, compressing a sequence of frames) and the
// compressed re-save of a movie with its options dialog and progress callback.

#include <cstdint>
#include <memory>
#include <string>

class QWidget;

namespace vosta::vfw {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using HRESULT = std::int32_t;
using BOOL = std::int32_t;
using FOURCC = DWORD;
using HWND = QWidget*;  // the window that owns a dialog; null: the application

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
// The type of the installable video compressors.
constexpr FOURCC ICTYPE_VIDEO = MakeFourCC('v', 'i', 'd', 'c');

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
constexpr HRESULT AVIERR_FILEREAD = MakeAviErr(109);
constexpr HRESULT AVIERR_FILEWRITE = MakeAviErr(110);
constexpr HRESULT AVIERR_FILEOPEN = MakeAviErr(111);
constexpr HRESULT AVIERR_COMPRESSOR = MakeAviErr(112);
constexpr HRESULT AVIERR_NOCOMPRESSOR = MakeAviErr(113);
constexpr HRESULT AVIERR_READONLY = MakeAviErr(114);
constexpr HRESULT AVIERR_NODATA = MakeAviErr(115);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = MakeAviErr(116);
constexpr HRESULT AVIERR_USERABORT = MakeAviErr(198);
// Beyond the Windows codes: the name is taken (with OF_CREATE_NEW); the disk has no room for
// the frame and the index after it (nothing of the frame was written; the movie can still be
// closed whole); the movie being written was removed (its folder too, perhaps), so frames
// would go nowhere.
constexpr HRESULT AVIERR_FILEEXISTS = MakeAviErr(120);
constexpr HRESULT AVIERR_DISKFULL = MakeAviErr(121);
constexpr HRESULT AVIERR_FILEREMOVED = MakeAviErr(122);
// The library is not initialised (no AVIFileInit in effect).
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// Open modes.
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_CREATE = 0x1000;
// With OF_WRITE | OF_CREATE: only a new file; a file of that name is never replaced.
constexpr UINT OF_CREATE_NEW = 0x10000;

// Frame flags of AVIStreamWrite.
constexpr DWORD AVIIF_KEYFRAME = 0x10;

// biCompression of an uncompressed frame.
constexpr DWORD BI_RGB = 0;

// Compressor quality (0 to 10000) and state flags.
constexpr LONG ICQUALITY_DEFAULT = -1;
constexpr LONG ICQUALITY_LOW = 0;
constexpr LONG ICQUALITY_HIGH = 10000;
constexpr DWORD ICMF_COMPVARS_VALID = 0x0001;

// What the compressor dialogs offer besides the list of compressors.
constexpr UINT ICMF_CHOOSE_KEYFRAME = 0x0001;  // "key frame every N frames"
constexpr UINT ICMF_CHOOSE_DATARATE = 0x0002;  // "data rate in KB/s"
constexpr UINT ICMF_CHOOSE_PREVIEW = 0x0004;   // one frame compressed with the settings

// Flags of AVICOMPRESSOPTIONS.dwFlags.
constexpr DWORD AVICOMPRESSF_INTERLEAVE = 0x0001;
constexpr DWORD AVICOMPRESSF_DATARATE = 0x0002;   // dwBytesPerSecond is in effect
constexpr DWORD AVICOMPRESSF_KEYFRAMES = 0x0004;  // dwKeyFrameEvery is in effect
constexpr DWORD AVICOMPRESSF_VALID = 0x0008;      // a dialog has filled the record

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

// How one stream is compressed by AVISaveVA.
struct AVICOMPRESSOPTIONS {
  DWORD fccType;           // streamtypeVIDEO
  DWORD fccHandler;        // the compressor's code; fccDIB: none
  DWORD dwKeyFrameEvery;   // with AVICOMPRESSF_KEYFRAMES; otherwise the compressor's own
  DWORD dwQuality;         // 0 to 10000
  DWORD dwBytesPerSecond;  // with AVICOMPRESSF_DATARATE; otherwise quality rules
  DWORD dwFlags;
  void* lpFormat;  // blocks that AVISaveOptions may fill and AVISaveOptionsFree frees
  DWORD cbFormat;
  void* lpParms;
  DWORD cbParms;
  DWORD dwInterleaveEvery;
};
using LPAVICOMPRESSOPTIONS = AVICOMPRESSOPTIONS*;

// The progress callback of AVISaveVA: gets the percentage done (0 to 100); a non-zero answer
// stops the save.
using AVISAVECALLBACK = BOOL (*)(int percent);

// Handles of an open movie file and of one of its streams. The movie on disk is completed
// (index and headers written, file closed) when the file and all its streams are released.
struct AviFileObject;
struct AviStreamObject;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;

// Takes and gives back one use of the library; files open only while a use is in effect.
void AVIFileInit();
void AVIFileExit();

// Opens `fileName`. Mode OF_WRITE | OF_CREATE (4097) creates the file anew (an existing one is
// replaced), with OF_CREATE_NEW only when the name is free (AVIERR_FILEEXISTS otherwise); mode
// OF_READ (0) opens a movie for reading its streams. `handler` must be null. *file stays null
// on failure. A movie being written keeps room on the disk for its index as it grows.
HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, UINT mode, const void* handler);
// The `index`-th stream of type `type` of a file opened for reading; 0 is the first.
HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD type, LONG index);
// Creates the file's stream from `info`: a video stream ("vids") whose rate is
// dwRate / dwScale frames a second, named after szName. One stream per file.
HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info);
// Sets the stream's frame format: a BITMAPINFOHEADER of `formatSize` bytes (at least 40).
// Uncompressed (BI_RGB) frames have 16 (5-5-5) or 24 bits a pixel; compressed ones carry the
// compressor's code in biCompression and its private data after the 40 bytes. Position must
// be 0. The movie's headers are written here, so a file that cannot take these frames fails now.
HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG formatSize);
// Appends `samples` frames' data at sample position `start`. The data reaches the file before
// the call returns, so a recorder that is killed loses no written frame. AVIERR_DISKFULL when
// the disk has no room for the frame and the index after it, AVIERR_FILEREMOVED when the file
// has no name left.
HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* buffer,
                       LONG bufferSize, DWORD flags, LONG* samplesWritten, LONG* bytesWritten);
// Of a stream opened for reading: its header (dwLength counts the whole frames it holds), its
// frame format (*formatSize: in, the room; out, the bytes of the format) and its frames. A
// frame is read into `buffer` (`bufferSize` bytes); a null buffer asks only for the size.
HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, LONG infoSize);
HRESULT AVIStreamReadFormat(PAVISTREAM stream, LONG position, void* format, LONG* formatSize);
HRESULT AVIStreamRead(PAVISTREAM stream, LONG start, LONG samples, void* buffer, LONG bufferSize,
                      LONG* bytes, LONG* samplesRead);
// Give the handles back; both return the references left on the movie (0: it is closed).
ULONG AVIStreamRelease(PAVISTREAM stream);
ULONG AVIFileRelease(PAVIFILE file);

// The save-options dialog for `streams` streams: the compressor list ("Full Frames
// (Uncompressed)" first) with the settings each compressor takes, and with ICMF_CHOOSE_PREVIEW
// one frame of the first stream compressed with the current settings. Starts from what
// options[i] hold and writes the choice back. TRUE when confirmed.
BOOL AVISaveOptions(HWND window, UINT flags, int streams, PAVISTREAM* stream,
                    LPAVICOMPRESSOPTIONS* options);
// Frees the blocks that AVISaveOptions put into the records; the settings stay.
LONG AVISaveOptionsFree(int streams, LPAVICOMPRESSOPTIONS* options);
// Writes the streams again into a new movie `fileName`, each compressed as its options say,
// and calls `callback` with the percentage done before the first frame and after every frame.
// AVIERR_OK when the new movie is complete on disk; a non-zero answer of the callback stops the
// save with AVIERR_USERABORT. On failure the caller deletes what may be left of the new file.
// Frames of a raw stream that are cut short (a recording that was killed) are left out.
HRESULT AVISaveVA(const char* fileName, const void* handler, AVISAVECALLBACK callback, int streams,
                  PAVISTREAM* stream, LPAVICOMPRESSOPTIONS* options);

// The installable compressors. ICCompressorChoose shows the codec choice for frames of format
// `input` (a BITMAPINFOHEADER): on TRUE, state->fccHandler holds the choice (fccDIB for none),
// state->hic the opened compressor, lQ, lKey and lDataRate the settings; on FALSE (cancelled)
// the state is unchanged.
BOOL ICCompressorChoose(HWND window, UINT flags, const void* input, const void* data,
                        COMPVARS* state, const char* title);
// Starts compressing a sequence of frames of format `input` with the chosen compressor: one
// compressed frame comes out for every frame put in, with no look-ahead. state->lpbiOut then
// points at the output format (its biSize counts the compressor's private data that follows).
BOOL ICSeqCompressFrameStart(COMPVARS* state, const void* input);
// Compresses one frame; returns the compressed data (owned by the compressor, valid until the
// next call), its size in *size and whether it is a key frame in *key. Null on failure.
void* ICSeqCompressFrame(COMPVARS* state, UINT flags, void* bits, BOOL* key, LONG* size);
void ICSeqCompressFrameEnd(COMPVARS* state);
// Closes the compressor and frees what it holds.
void ICCompressorFree(COMPVARS* state);

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
