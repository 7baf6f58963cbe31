#pragma once

// Movies read back with ffprobe and ffmpeg, as any player would see them.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <map>
#include <string>
#include <vector>

#include "avi/MovieRecorder.h"

namespace vosta::testing {

inline QByteArray RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  EXPECT_TRUE(process.waitForFinished(120000)) << program.toStdString();
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  return process.readAllStandardOutput();
}

// The video stream's properties as ffprobe reports them, decoding every frame.
inline std::map<std::string, std::string> Probe(const std::string& file) {
  const QByteArray out =
      RunTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                          "stream=codec_name,codec_tag,codec_tag_string,width,height,r_frame_rate,"
                          "nb_read_frames,pix_fmt:stream_tags=title",
                          "-of", "default=noprint_wrappers=1", QString::fromStdString(file)});
  std::map<std::string, std::string> values;
  for (const QByteArray& line : out.split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals > 0) values[line.left(equals).toStdString()] = line.mid(equals + 1).toStdString();
  }
  return values;
}

// Every frame decoded to R,G,B bytes, top row first; what the decoder complains of in *errors.
inline QByteArray DecodeRgb(const std::string& file, std::string* errors = nullptr) {
  QProcess process;
  process.start("ffmpeg", {"-v", "error", "-i", QString::fromStdString(file), "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"});
  EXPECT_TRUE(process.waitForFinished(120000));
  EXPECT_EQ(process.exitCode(), 0);
  if (errors != nullptr) *errors = process.readAllStandardError().toStdString();
  return process.readAllStandardOutput();
}

// The frames exactly as stored in the file.
inline QByteArray StoredFrames(const std::string& file) {
  return RunTool("ffmpeg", {"-v", "error", "-i", QString::fromStdString(file), "-map", "0:v", "-c",
                            "copy", "-f", "rawvideo", "-"});
}

// One line a packet of the video stream, in file order, with its size, a checksum of its bytes
// and its flags where it is no key frame (a stream copy to framecrc): two movies that give the
// same lines hold the same frames, key frames in the same places.
inline QStringList StoredPackets(const std::string& file) {
  const QString out =
      QString::fromUtf8(RunTool("ffmpeg", {"-v", "error", "-i", QString::fromStdString(file),
                                           "-map", "0:v", "-c", "copy", "-f", "framecrc", "-"}));
  QStringList packets = out.split('\n', Qt::SkipEmptyParts);
  packets.removeIf([](const QString& line) { return line.startsWith('#'); });
  return packets;
}

// Each packet of the video stream in file order as "dts,flags" ("K_" marks a key frame). AVI
// keeps no presentation times: the position in the file is the frame's time.
inline QStringList Packets(const std::string& file) {
  const QString out = QString::fromUtf8(
      RunTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                          "packet=dts,flags", "-of", "csv=p=0", QString::fromStdString(file)}));
  return out.split('\n', Qt::SkipEmptyParts);
}

// The picture type of every decoded frame ("IPPB..."), in the order they come out.
inline QString PictureTypes(const std::string& file) {
  const QString out = QString::fromUtf8(
      RunTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                          "frame=pict_type", "-of", "csv=p=0", QString::fromStdString(file)}));
  return out.split('\n', Qt::SkipEmptyParts).join("");
}

// A movie as a player reads it, in one look: its compressor's code, size, every packet in file
// order (AVI keeps no presentation times: the position is the frame's time) with whether it is a
// key frame, the picture types as decoded, and what the decoder complained of.
struct MovieLook {
  std::string codecTag;
  int width = 0;
  int height = 0;
  int decodedFrames = 0;
  std::vector<bool> keyFrames;  // one a packet
  std::int64_t bytes = 0;       // of all packets
  std::string pictureTypes;     // "IPPP..."
  std::string errors;
};

inline MovieLook LookAt(const std::string& file) {
  QProcess process;
  process.start("ffprobe",
                {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                 "stream=codec_tag_string,width,height,nb_read_frames:packet=size,flags:"
                 "frame=pict_type",
                 "-of", "default=noprint_wrappers=1", QString::fromStdString(file)});
  EXPECT_TRUE(process.waitForFinished(120000));
  MovieLook look;
  look.errors = process.readAllStandardError().toStdString();
  for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0) continue;
    const QByteArray key = line.left(equals);
    const QByteArray value = line.mid(equals + 1);
    if (key == "codec_tag_string") look.codecTag = value.toStdString();
    if (key == "width") look.width = value.toInt();
    if (key == "height") look.height = value.toInt();
    if (key == "nb_read_frames") look.decodedFrames = value.toInt();
    if (key == "size") look.bytes += value.toLongLong();
    if (key == "flags") look.keyFrames.push_back(value.startsWith('K'));
    if (key == "pict_type") look.pictureTypes += value.toStdString();
  }
  return look;
}

// Runs the event loop until the recorder has finished, its pass included.
inline void WaitUntilFinished(const MovieRecorder& recorder, int timeoutMs = 180000) {
  QElapsedTimer waited;
  waited.start();
  while (recorder.Finishing() && waited.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  EXPECT_FALSE(recorder.Finishing()) << "the pass did not end";
}

}  // namespace vosta::testing
