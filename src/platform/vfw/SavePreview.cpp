#include "platform/vfw/SavePreview.h"

#include <cstring>
#include <vector>

#include "platform/vfw/FfmpegHandles.h"
#include "platform/vfw/FrameEncoder.h"

namespace vosta::vfw {

namespace {

// Converts planes of `format` to a picture, keeping its top-left `size`. The scaler writes
// whole vector words past the end of a narrow row, so it writes into a frame that FFmpeg lays out
// with its own alignment and padding, and the rows are copied into the picture from there: a
// picture of a few pixels a side has no room for those words.
QImage ToPicture(const std::uint8_t* const planes[], const int strides[], AVPixelFormat format,
                 int width, int height, QSize size) {
  ScalerHandle scaler(sws_getContext(width, height, format, width, height, AV_PIX_FMT_BGRA,
                                     SWS_POINT, nullptr, nullptr, nullptr));
  FrameHandle scaled(av_frame_alloc());
  if (!scaler || !scaled) return {};
  scaled->format = AV_PIX_FMT_BGRA;
  scaled->width = width;
  scaled->height = height;
  if (av_frame_get_buffer(scaled.get(), 0) < 0) return {};
  sws_scale(scaler.get(), planes, strides, 0, height, scaled->data, scaled->linesize);
  QImage picture(size, QImage::Format_RGB32);
  if (picture.isNull()) return {};
  for (int y = 0; y < size.height(); ++y) {
    std::memcpy(picture.scanLine(y), scaled->data[0] + std::ptrdiff_t{scaled->linesize[0]} * y,
                static_cast<std::size_t>(size.width()) * 4);
  }
  return picture;
}

// Decodes one compressed frame as the encoder describes its output.
QImage Decode(const FrameEncoder& encoder, const AVPacket& packet, QSize size, std::string* error) {
  const AVCodecContext& encoding = encoder.Context();
  const AVCodec* codec = avcodec_find_decoder(encoding.codec_id);
  CodecContextHandle decoder(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
  std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> parameters(
      avcodec_parameters_alloc(), [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
  FrameHandle frame(av_frame_alloc());
  if (!decoder || !parameters || !frame) {
    *error = "no decoder for the preview";
    return {};
  }
  decoder->thread_count = 1;
  int result = avcodec_parameters_from_context(parameters.get(), &encoding);
  if (result >= 0) result = avcodec_parameters_to_context(decoder.get(), parameters.get());
  if (result >= 0) result = avcodec_open2(decoder.get(), codec, nullptr);
  if (result >= 0) result = avcodec_send_packet(decoder.get(), &packet);
  if (result >= 0) result = avcodec_send_packet(decoder.get(), nullptr);
  if (result >= 0) result = avcodec_receive_frame(decoder.get(), frame.get());
  if (result < 0) {
    *error = "the preview cannot be decoded: " + FfmpegText(result);
    return {};
  }
  return ToPicture(frame->data, frame->linesize, static_cast<AVPixelFormat>(frame->format),
                   frame->width, frame->height, size);
}

}  // namespace

PreviewPicture PreviewFrame(PAVISTREAM stream, const CompressorChoice& choice) {
  PreviewPicture result;
  AVISTREAMINFOA info{};
  LONG formatSize = 0;
  if (AVIStreamInfoA(stream, &info, sizeof info) != AVIERR_OK ||
      AVIStreamReadFormat(stream, 0, nullptr, &formatSize) != AVIERR_OK ||
      formatSize < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) {
    result.error = "the movie cannot be read";
    return result;
  }
  std::vector<std::uint8_t> format(static_cast<std::size_t>(formatSize));
  AVIStreamReadFormat(stream, 0, format.data(), &formatSize);
  BITMAPINFOHEADER input;
  std::memcpy(&input, format.data(), sizeof input);

  LONG position = info.dwLength > 1 ? static_cast<LONG>(info.dwLength / 2) : 0;
  LONG bytes = 0;
  if (AVIStreamRead(stream, position, 1, nullptr, 0, &bytes, nullptr) != AVIERR_OK) {
    position = 0;
    if (AVIStreamRead(stream, position, 1, nullptr, 0, &bytes, nullptr) != AVIERR_OK) {
      result.error = "the movie holds no frame";
      return result;
    }
  }
  // The scaler reads whole machine words: the frame is followed by the padding that FFmpeg
  // asks of every buffer it reads, so that the last row is not read past its end.
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(bytes) + AV_INPUT_BUFFER_PADDING_SIZE);
  AVIStreamRead(stream, position, 1, frame.data(), bytes, nullptr, nullptr);
  result.uncompressedBytes = bytes;

  const int width = input.biWidth;
  const int height = input.biHeight < 0 ? -input.biHeight : input.biHeight;
  const QSize size(width, height);
  const CodecInfo* codec = FindCodec(choice.handler);
  if (codec == nullptr) {
    // The frame as stored: bottom-up rows when the height is positive.
    const int stride = static_cast<int>((std::int64_t{width} * input.biBitCount + 31) / 32 * 4);
    const std::uint8_t* top = input.biHeight > 0 ? frame.data() + std::int64_t{stride} * (height - 1)
                                                 : frame.data();
    const std::uint8_t* planes[4] = {top, nullptr, nullptr, nullptr};
    const int strides[4] = {input.biHeight > 0 ? -stride : stride, 0, 0, 0};
    result.picture = ToPicture(planes, strides,
                               input.biBitCount == 16 ? AV_PIX_FMT_RGB555LE : AV_PIX_FMT_BGR24,
                               width, height, size);
    result.bytes = bytes;
    return result;
  }

  EncoderSettings settings;
  settings.quality = choice.quality;
  settings.keyFrameEvery = choice.keyFrameEvery;
  settings.bytesPerSecond = choice.kilobytesPerSecond * 1024;
  std::unique_ptr<FrameEncoder> encoder =
      FrameEncoder::Open(*codec, input,
                         AVRational{static_cast<int>(info.dwScale), static_cast<int>(info.dwRate)},
                         settings, EncoderUse::Preview, &result.error);
  if (!encoder) return result;
  int status = encoder->Send(frame.data());
  if (status >= 0) status = encoder->SendEnd();
  const AVPacket* packet = status >= 0 ? encoder->Receive(&status) : nullptr;
  if (packet == nullptr) {
    result.error = "the compressor gave no frame: " + FfmpegText(status);
    return result;
  }
  result.bytes = packet->size;
  result.picture = Decode(*encoder, *packet, size, &result.error);
  return result;
}

}  // namespace vosta::vfw
