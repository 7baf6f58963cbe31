// The compressed re-save of a movie: its options dialog and the pass that reads the raw stream,
// compresses every frame and writes the new movie.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/vfw/AviObjects.h"
#include "platform/vfw/CodecTable.h"
#include "platform/vfw/CompressorDialog.h"
#include "platform/vfw/FrameEncoder.h"
#include "platform/vfw/SavePreview.h"

namespace vosta::vfw {

namespace {

EncoderSettings SettingsOf(const AVICOMPRESSOPTIONS& options) {
  EncoderSettings settings;
  if ((options.dwFlags & AVICOMPRESSF_VALID) != 0) {
    settings.quality = static_cast<LONG>(std::min<DWORD>(options.dwQuality, ICQUALITY_HIGH));
  }
  if ((options.dwFlags & AVICOMPRESSF_KEYFRAMES) != 0) {
    settings.keyFrameEvery = static_cast<LONG>(std::min<DWORD>(options.dwKeyFrameEvery, INT32_MAX));
  }
  if ((options.dwFlags & AVICOMPRESSF_DATARATE) != 0) {
    settings.bytesPerSecond = static_cast<LONG>(std::min<DWORD>(options.dwBytesPerSecond, INT32_MAX));
  }
  return settings;
}

// The movie being written by the pass, through the same calls as a recording.
class PassOutput {
 public:
  HRESULT Create(const char* fileName, const AVISTREAMINFOA& source,
                 const std::vector<std::uint8_t>& format) {
    PAVIFILE file = nullptr;
    HRESULT result = AVIFileOpenA(&file, fileName, OF_WRITE | OF_CREATE, nullptr);
    file_.reset(file);
    if (result != AVIERR_OK) return result;
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = source.dwScale;
    info.dwRate = source.dwRate;
    std::memcpy(info.szName, source.szName, sizeof info.szName);
    PAVISTREAM stream = nullptr;
    result = AVIFileCreateStreamA(file_.get(), &stream, &info);
    stream_.reset(stream);
    if (result != AVIERR_OK) return result;
    // The new movie is on the disk, not only in memory, before anyone renames it over a
    // recording; writing it back as it grows keeps that last wait short.
    stream_->muxer->syncOnClose = true;
    stream_->muxer->writeBehind = true;
    return AVIStreamSetFormat(stream_.get(), 0, format.data(), static_cast<LONG>(format.size()));
  }

  HRESULT Write(const AVPacket& packet) {
    return AVIStreamWrite(stream_.get(), frames_++, 1, packet.data, packet.size,
                          (packet.flags & AV_PKT_FLAG_KEY) != 0 ? AVIIF_KEYFRAME : 0, nullptr,
                          nullptr);
  }

  // Index, headers, close and sync; AVIERR_OK when the movie is whole on disk.
  HRESULT Finish() {
    std::shared_ptr<Muxer> muxer = stream_->muxer;
    stream_.reset();
    file_.reset();
    return muxer->Close();
  }

 private:
  AviFileHandle file_;
  AviStreamHandle stream_;
  LONG frames_ = 0;
};

// Compresses (or, with no compressor, copies) every whole frame of `input` into `output`.
HRESULT RunPass(Demuxer& input, FrameEncoder* encoder, PassOutput& output,
                AVISAVECALLBACK callback) {
  const auto report = [&](int percent) {
    return callback != nullptr && callback(std::clamp(percent, 0, 100)) != 0;
  };
  const auto drain = [&]() -> HRESULT {
    int status = 0;
    while (const AVPacket* packet = encoder->Receive(&status)) {
      const HRESULT written = output.Write(*packet);
      if (written != AVIERR_OK) return written;
    }
    return status < 0 ? Fail(AVIERR_COMPRESSOR, "the compressor failed", status) : AVIERR_OK;
  };

  if (report(0)) return Fail(AVIERR_USERABORT, "the save was stopped");
  const std::int64_t total = input.info.dwLength;
  for (std::int64_t position = 0;; ++position) {
    const HRESULT read = input.Read(position);
    if (read == AVIERR_NODATA) break;
    if (read != AVIERR_OK) return read;
    if (encoder == nullptr) {
      const HRESULT written = output.Write(*input.packet);
      if (written != AVIERR_OK) return written;
    } else {
      if (input.packet->size != encoder->InputImageSize()) continue;
      const int sent = encoder->Send(input.packet->data);
      if (sent < 0) return Fail(AVIERR_COMPRESSOR, "the compressor refused a frame", sent);
      const HRESULT drained = drain();
      if (drained != AVIERR_OK) return drained;
    }
    const double done = total > 0 ? static_cast<double>(position + 1) / total
                                  : input.FileFraction();
    if (report(static_cast<int>(done * 100))) {
      return Fail(AVIERR_USERABORT, "the save was stopped");
    }
  }
  if (encoder != nullptr) {
    const int ended = encoder->SendEnd();
    if (ended < 0) return Fail(AVIERR_COMPRESSOR, "the compressor could not finish", ended);
    return drain();
  }
  return AVIERR_OK;
}

}  // namespace

BOOL AVISaveOptions(HWND window, UINT flags, int streams, PAVISTREAM* stream,
                    LPAVICOMPRESSOPTIONS* options) {
  if (streams != 1 || stream == nullptr || stream[0] == nullptr || !stream[0]->demuxer ||
      options == nullptr || options[0] == nullptr) {
    return 0;
  }
  AVICOMPRESSOPTIONS& chosen = *options[0];
  const EncoderSettings settings = SettingsOf(chosen);
  CompressorChoice initial;
  initial.handler = chosen.fccHandler != 0 ? chosen.fccHandler : fccDIB;
  initial.quality = settings.quality;
  initial.keyFrameEvery = settings.keyFrameEvery;
  initial.kilobytesPerSecond = settings.bytesPerSecond / 1024;
  CompressorDialog::Preview preview;
  if ((flags & ICMF_CHOOSE_PREVIEW) != 0) {
    PAVISTREAM source = stream[0];
    preview = [source](const CompressorChoice& choice) { return PreviewFrame(source, choice); };
  }
  CompressorDialog dialog(window, "圧縮オプション", flags, initial, std::move(preview));
  if (dialog.exec() != QDialog::Accepted) return 0;

  const CompressorChoice choice = dialog.Choice();
  chosen.fccType = streamtypeVIDEO;
  chosen.fccHandler = choice.handler;
  // Confirming no compression is the same as cancelling: the settings stay as they were, and
  // the next dialog starts from the compressor settings chosen last, not from "Full Frames".
  if (choice.handler == fccDIB) return 1;
  chosen.dwFlags = AVICOMPRESSF_VALID;
  chosen.dwQuality = static_cast<DWORD>(choice.quality >= 0 ? choice.quality : chosen.dwQuality);
  if (choice.keyFrameEvery > 0) {
    chosen.dwKeyFrameEvery = static_cast<DWORD>(choice.keyFrameEvery);
    chosen.dwFlags |= AVICOMPRESSF_KEYFRAMES;
  }
  if (choice.kilobytesPerSecond > 0) {
    chosen.dwBytesPerSecond = static_cast<DWORD>(choice.kilobytesPerSecond) * 1024;
    chosen.dwFlags |= AVICOMPRESSF_DATARATE;
  }
  return 1;
}

LONG AVISaveOptionsFree(int streams, LPAVICOMPRESSOPTIONS* options) {
  if (options == nullptr) return AVIERR_OK;
  for (int i = 0; i < streams; ++i) {
    AVICOMPRESSOPTIONS* each = options[i];
    if (each == nullptr) continue;
    std::free(each->lpFormat);
    std::free(each->lpParms);
    each->lpFormat = nullptr;
    each->cbFormat = 0;
    each->lpParms = nullptr;
    each->cbParms = 0;
  }
  return AVIERR_OK;
}

HRESULT AVISaveVA(const char* fileName, const void* handler, AVISAVECALLBACK callback, int streams,
                  PAVISTREAM* stream, LPAVICOMPRESSOPTIONS* options) {
  if (fileName == nullptr || handler != nullptr || streams != 1 || stream == nullptr ||
      options == nullptr || options[0] == nullptr) {
    return Fail(AVIERR_BADPARAM, "one stream and its options are needed");
  }
  if (stream[0] == nullptr || !stream[0]->demuxer || stream[0]->demuxer->stream == nullptr) {
    return Fail(AVIERR_BADHANDLE, "not a stream being read");
  }
  Demuxer& input = *stream[0]->demuxer;
  const AVICOMPRESSOPTIONS& chosen = *options[0];
  BITMAPINFOHEADER format;
  std::memcpy(&format, input.format.data(), sizeof format);

  std::unique_ptr<FrameEncoder> encoder;
  std::vector<std::uint8_t> outputFormat = input.format;
  if (chosen.fccHandler != fccDIB && chosen.fccHandler != 0) {
    const CodecInfo* codec = FindCodec(chosen.fccHandler);
    if (codec == nullptr) return Fail(AVIERR_NOCOMPRESSOR, "that compressor is not installed");
    std::string error;
    encoder = FrameEncoder::Open(
        *codec, format,
        AVRational{static_cast<int>(input.info.dwScale), static_cast<int>(input.info.dwRate)},
        SettingsOf(chosen), EncoderUse::Pass, &error);
    if (!encoder) return Fail(AVIERR_COMPRESSOR, error);
    outputFormat = encoder->OutputFormat();
  }

  PassOutput output;
  HRESULT result = output.Create(fileName, input.info, outputFormat);
  if (result == AVIERR_OK) result = RunPass(input, encoder.get(), output, callback);
  if (result != AVIERR_OK) return result;  // the output handles close what there is
  return output.Finish();
}

}  // namespace vosta::vfw
