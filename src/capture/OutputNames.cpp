#include "capture/OutputNames.h"

#include <unistd.h>

#include <QString>
#include <vector>

#include "platform/Exception.h"

namespace vosta {

std::string WithTrailingSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + "/";
}

namespace {

// `n` in decimal, with a leading "0" when that is one character long.
QString PaddedToTwo(int n) { return QString::number(n).rightJustified(2, u'0'); }

}  // namespace

std::string TwoDigits(int n) { return PaddedToTwo(n).toStdString(); }

std::string AppDir() {
  // readlink does not say whether the buffer was large enough: grow it until the link fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) throw Exception(Failure::NoExecutablePlace);
    if (static_cast<std::size_t>(length) < buffer.size()) {
      const std::string exe(buffer.data(), static_cast<std::size_t>(length));
      const auto slash = exe.rfind('/');
      return WithTrailingSlash(slash == std::string::npos ? std::string()
                                                          : exe.substr(0, slash + 1));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string TimestampName(Clock& clock) {
  const LocalDateTime now = clock.Now();
  return QStringLiteral("%1%2%3-%4%5%6")
      .arg(QString::number(now.year), PaddedToTwo(now.month), PaddedToTwo(now.day),
           PaddedToTwo(now.hour), PaddedToTwo(now.minute), PaddedToTwo(now.second))
      .toStdString();
}

}  // namespace vosta
