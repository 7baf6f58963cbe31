// The installable-compressor calls: the codec choice and the compression of a sequence of
// frames, one compressed frame for every frame put in.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/AviObjects.h"
#include "platform/vfw/CodecTable.h"
#include "platform/vfw/CompressorDialog.h"
#include "platform/vfw/FrameEncoder.h"

namespace vosta::vfw {

// The compressor that ICCompressorChoose opened, and the sequence it compresses once started.
struct IcCompressor {
  const CodecInfo* codec = nullptr;
  std::unique_ptr<FrameEncoder> sequence;
  BITMAPINFOHEADER input{};
};

namespace {

// A sequence has no frame rate of its own. A data rate is spread over the frames as if they
// came 15 a second: a recording adds one frame per 66 ms tick.
constexpr AVRational kSequenceFrameTime{1, 15};

bool TakesCompression(const void* input) {
  if (input == nullptr) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, input, sizeof header);
  return header.biCompression == BI_RGB && (header.biBitCount == 16 || header.biBitCount == 24);
}

}  // namespace

BOOL ICCompressorChoose(HWND window, UINT flags, const void* input, const void*, COMPVARS* state,
                        const char* title) {
  if (state == nullptr || state->cbSize != static_cast<LONG>(sizeof(COMPVARS))) return 0;
  CompressorChoice initial;
  initial.handler = state->fccHandler != 0 ? state->fccHandler : fccDIB;
  initial.quality = state->lQ;
  initial.keyFrameEvery = state->lKey;
  initial.kilobytesPerSecond = state->lDataRate;
  // Frames that no compressor takes can only be kept as they are.
  if (!TakesCompression(input)) initial.handler = fccDIB;
  CompressorDialog dialog(window, QString::fromUtf8(title != nullptr ? title : ""),
                          flags & (ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE), initial);
  if (dialog.exec() != QDialog::Accepted) return 0;
  CompressorChoice choice = dialog.Choice();
  if (!TakesCompression(input)) choice = CompressorChoice{};

  ICCompressorFree(state);
  state->fccType = ICTYPE_VIDEO;
  state->fccHandler = choice.handler;
  if (const CodecInfo* codec = FindCodec(choice.handler)) {
    state->hic = new IcCompressor{codec, nullptr, {}};
  }
  state->lQ = choice.quality;
  state->lKey = choice.keyFrameEvery;
  state->lDataRate = choice.kilobytesPerSecond;
  state->dwFlags |= ICMF_COMPVARS_VALID;
  return 1;
}

BOOL ICSeqCompressFrameStart(COMPVARS* state, const void* input) {
  if (state == nullptr || state->hic == nullptr || input == nullptr) {
    Fail(AVIERR_NOCOMPRESSOR, "no compressor is chosen");
    return 0;
  }
  IcCompressor& compressor = *state->hic;
  ICSeqCompressFrameEnd(state);
  std::memcpy(&compressor.input, input, sizeof compressor.input);
  EncoderSettings settings;
  settings.quality = state->lQ;
  settings.keyFrameEvery = state->lKey;
  settings.bytesPerSecond = state->lDataRate * 1024;
  std::string error;
  compressor.sequence = FrameEncoder::Open(*compressor.codec, compressor.input, kSequenceFrameTime,
                                           settings, EncoderUse::Sequential, &error);
  if (!compressor.sequence) {
    Fail(AVIERR_COMPRESSOR, error);
    return 0;
  }
  state->lpbiIn = &compressor.input;
  state->lpbiOut = const_cast<std::uint8_t*>(compressor.sequence->OutputFormat().data());
  state->lFrame = 0;
  state->lKeyCount = 0;
  return 1;
}

void* ICSeqCompressFrame(COMPVARS* state, UINT, void* bits, BOOL* key, LONG* size) {
  if (key != nullptr) *key = 0;
  if (state == nullptr || state->hic == nullptr || !state->hic->sequence || bits == nullptr) {
    Fail(AVIERR_BADHANDLE, "no sequence is being compressed");
    return nullptr;
  }
  FrameEncoder& encoder = *state->hic->sequence;
  int result = encoder.Send(static_cast<const std::uint8_t*>(bits));
  if (result < 0) {
    Fail(AVIERR_COMPRESSOR, "the frame could not be compressed", result);
    return nullptr;
  }
  const AVPacket* packet = encoder.Receive(&result);
  if (packet == nullptr) {
    Fail(AVIERR_COMPRESSOR, "the compressor gave no frame back", result);
    return nullptr;
  }
  const bool keyFrame = (packet->flags & AV_PKT_FLAG_KEY) != 0;
  if (key != nullptr) *key = keyFrame ? 1 : 0;
  if (size != nullptr) *size = packet->size;
  ++state->lFrame;
  if (keyFrame) state->lKeyCount = 0; else ++state->lKeyCount;
  return packet->data;
}

void ICSeqCompressFrameEnd(COMPVARS* state) {
  if (state == nullptr) return;
  if (state->hic != nullptr) state->hic->sequence.reset();
  state->lpbiIn = nullptr;
  state->lpbiOut = nullptr;
}

void ICCompressorFree(COMPVARS* state) {
  if (state == nullptr) return;
  ICSeqCompressFrameEnd(state);
  delete state->hic;
  state->hic = nullptr;
}

}  // namespace vosta::vfw
