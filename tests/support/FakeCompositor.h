#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vosta::testing {

// A Wayland compositor of the tests' own, served on a thread from a socket in a private runtime
// folder, which it names in XDG_RUNTIME_DIR and WAYLAND_DISPLAY while it lives: one output at 0,0
// of the screen picture's size, shared memory, the wlroots screen copy (answering each copy with
// the screen's pixels in the format and row order asked for, with a failure, or not at all) and the
// wlroots window list (windows opened and closed while it runs).
class FakeCompositor {
 public:
  enum class CopyAnswer { Picture, Failure, Silence };
  struct Options {
    QImage screen;             // Format_RGB32
    std::uint32_t format = 0;  // a wl_shm format: XRGB8888, ARGB8888, XBGR8888 or ABGR8888
    bool yInverted = false;
    CopyAnswer answer = CopyAnswer::Picture;
    std::vector<std::string> titles;  // the windows open from the start
  };

  explicit FakeCompositor(Options options);
  ~FakeCompositor();
  FakeCompositor(const FakeCompositor&) = delete;
  FakeCompositor& operator=(const FakeCompositor&) = delete;

  // Windows are numbered in the order they opened, from 0.
  void OpenWindow(const std::string& title);
  void CloseWindow(int window);
  // The rectangles of the output that copies were asked for, in order.
  std::vector<QRect> CopiesAsked() const;

  struct Server;

 private:
  std::unique_ptr<Server> server_;
};

}  // namespace vosta::testing
