#pragma once

#include <QImage>
#include <QObject>
#include <cstdint>
#include <string>

namespace vosta {

class DesktopServices;

// The AVI writer: turns a series of pictures into a movie with one video stream. Set FileName,
// Width and Height, call Start once, AddFrame once per picture, Finish once at the end.
class TOrvAvi : public QObject {
  Q_OBJECT

 public:
  TOrvAvi(DesktopServices& desktop, QObject* owner = nullptr);
  ~TOrvAvi() override;

  const std::string& FileName() const;
  void SetFileName(const std::string& fileName);
  std::uint16_t Width() const;
  void SetWidth(std::uint16_t width);
  std::uint16_t Height() const;
  void SetHeight(std::uint16_t height);
  bool Compress() const;
  void SetCompress(bool on);
  bool PreCompress() const;
  void SetPreCompress(bool on);
  std::int32_t FrameRate() const;
  void SetFrameRate(std::int32_t rate);  // clamped to 1..30
  std::uint16_t BitDepth() const;
  void SetBitDepth(std::uint16_t depth);  // low 8 bits; 16 or 24, anything else 16

  // True when the file and its video stream are ready for frames.
  bool Start();
  // Scales the picture to Width x Height and appends it; false only when compressing failed.
  bool AddFrame(const QImage& picture);
  // Ends the recording and closes the file.
  void Finish();

  // ... (the implementer adds the rest: members, ResetCompressor, texts)
};

}  // namespace vosta
