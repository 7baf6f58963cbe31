#pragma once

// Movies read back with ffprobe and ffmpeg, as any player would see them.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <map>
#include <string>

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
  const QByteArray out = RunTool(
      "ffprobe", {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
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

}  // namespace vosta::testing
