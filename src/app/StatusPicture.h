#pragma once

#include <QImage>

namespace vosta {

class PictureWidget;

// The eye's status picture: the closed eye while a capture works and the open eye again when it
// ends, however it ends (success, refusal or failure). Nested captures (a clipboard save inside
// a snapshot's wait) keep the closed eye until the outermost one is done.
class StatusPicture {
 public:
  // `eye` shows the pictures; `busy` and `idle` are drawn onto its picture, 45 x 45 from the
  // top-left corner.
  StatusPicture(PictureWidget& eye, QImage busy, QImage idle);
  StatusPicture(const StatusPicture&) = delete;
  StatusPicture& operator=(const StatusPicture&) = delete;

  // The closed eye for the lifetime of a capture.
  class Busy {
   public:
    explicit Busy(StatusPicture& status);
    ~Busy();
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    StatusPicture& status_;
  };

 private:
  // Draws `source` over the eye's picture and puts it on screen before returning.
  void Show(const QImage& source);

  PictureWidget& eye_;
  QImage busy_;
  QImage idle_;
  int captures_ = 0;  // captures under way, nested ones included
};

}  // namespace vosta
