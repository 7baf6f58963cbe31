#include "media/FramePreview.h"

#include <cstring>

#include "media/FrameConverter.h"
#include "media/FramePool.h"
#include "media/MediaError.h"
#include "media/MovieReader.h"
#include "media/VideoEncoder.h"

namespace vosta::media {

namespace {

// The top-left `size` of a frame as a picture. The scaler writes whole vector words past the end
// of a narrow row, so it writes into a frame with FFmpeg's own alignment and padding, and the rows
// are copied into the picture from there: a picture a few pixels wide has no room for them.
QImage ToPicture(const AVFrame& frame, QSize size) {
  ScalerHandle scaler(sws_getContext(
      frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
      frame.height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
  if (!scaler) throw MediaError(MediaErrorKind::EncodingFailed, "cannot show the frame");
  FramePool pool(AV_PIX_FMT_BGRA, frame.width, frame.height);
  FrameHandle shown = pool.Get();
  sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, shown->data,
            shown->linesize);
  QImage picture(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    std::memcpy(picture.scanLine(y), shown->data[0] + std::ptrdiff_t{shown->linesize[0]} * y,
                static_cast<std::size_t>(size.width()) * 4);
  }
  return picture;
}

// Decodes the one packet of an encoder.
FrameHandle Decode(const VideoEncoder& encoder, const AVPacket& packet) {
  ParametersHandle parameters(avcodec_parameters_alloc());
  const AVCodec* codec = avcodec_find_decoder(encoder.Context().codec_id);
  CodecContextHandle decoder(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
  FrameHandle frame(av_frame_alloc());
  if (!parameters || !decoder || !frame) {
    throw MediaError(MediaErrorKind::EncodingFailed, "no decoder for the preview");
  }
  encoder.Describe(*parameters);
  decoder->thread_count = 1;
  int result = avcodec_parameters_to_context(decoder.get(), parameters.get());
  if (result >= 0) result = avcodec_open2(decoder.get(), codec, nullptr);
  if (result >= 0) result = avcodec_send_packet(decoder.get(), &packet);
  if (result >= 0) result = avcodec_send_packet(decoder.get(), nullptr);
  if (result >= 0) result = avcodec_receive_frame(decoder.get(), frame.get());
  if (result < 0)
    throw MediaError(MediaErrorKind::EncodingFailed, "cannot decode the preview", result);
  return frame;
}

}  // namespace

PreviewPicture PreviewFrame(MovieReader& movie, const CompressorChoice& choice) {
  KeepFfmpegQuiet();
  const RawFrameFormat& format = movie.Format();
  const AVPacket* stored = movie.At(movie.IndexedFrames() > 1 ? movie.IndexedFrames() / 2 : 0);
  if (stored == nullptr) stored = movie.At(0);
  if (stored == nullptr) throw MediaError(MediaErrorKind::NotARawMovie, "the movie holds no frame");
  PreviewPicture preview;
  preview.uncompressedBytes = stored->size;
  const QSize size(format.width, format.height);

  const Codec* codec = FindCodec(choice.codec);
  if (codec == nullptr) {
    FramePool pool(AV_PIX_FMT_BGR0, format.width, format.height);
    FrameHandle frame = pool.Get();
    FrameConverter(format, format.width, format.height, AV_PIX_FMT_BGR0)
        .Convert(stored->data, *frame);
    preview.picture = ToPicture(*frame, size);
    preview.bytes = stored->size;
    return preview;
  }

  VideoEncoder encoder(*codec, format, choice.settings, EncoderUse::Preview);
  PacketHandle packet(av_packet_alloc());
  const VideoEncoder::PacketSink keepFirst = [&packet](AVPacket& out) {
    if (packet && packet->size == 0) av_packet_move_ref(packet.get(), &out);
  };
  encoder.Encode(stored->data, keepFirst);
  encoder.Flush(keepFirst);
  if (!packet || packet->size == 0)
    throw MediaError(MediaErrorKind::EncodingFailed, "no frame came out");
  preview.bytes = packet->size;
  preview.picture = ToPicture(*Decode(encoder, *packet), size);
  return preview;
}

}  // namespace vosta::media
