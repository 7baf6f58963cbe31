#include "app/ErrorDisplay.h"

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/FailureTexts.h"
#include "platform/DesktopServices.h"

namespace vosta {

namespace {

constexpr std::int64_t kQuietAfterClose = 10000;  // ms

std::int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

ErrorDisplay::ErrorDisplay(DesktopServices& desktop, std::string title, Clock clock)
    : desktop_(desktop),
      title_(std::move(title)),
      clock_(clock ? std::move(clock) : Clock(&SteadyMilliseconds)) {}

std::string ErrorDisplay::ApplicationTitle(const std::string& executablePath) {
  const auto slash = executablePath.find_last_of('/');
  std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  if (name.empty()) return name;
  // A capital first letter and the rest in lower case, character-wise (the name may be UTF-8):
  // "vosta" and "VOSTA.EXE" both give "Vosta".
  const QString text = QString::fromStdString(name);
  const QString first = text.left(text.at(0).isHighSurrogate() ? 2 : 1);
  return (first.toUpper() + text.mid(first.size()).toLower()).toStdString();
}

std::string ErrorDisplay::BoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void ErrorDisplay::Show(const std::exception& failure, Source source) {
  if (const auto* own = dynamic_cast<const Exception*>(&failure)) {
    Show(FailureText(*own), Sameness{own->Kind(), own->Width(), own->Height(), {}}, source);
    return;
  }
  Show(failure.what(), Sameness{std::nullopt, 0, 0, failure.what()}, source);
}

void ErrorDisplay::Show(const std::string& message, const Sameness& sameness, Source source) {
  std::fprintf(stderr, "%s: %s\n", title_.c_str(), message.c_str());
  if (boxOpen_) return;
  if (source == Source::Tick && sameness == lastClosed_ && !actedSinceClosed_ &&
      clock_() - closedAt_ < kQuietAfterClose) {
    return;
  }
  boxOpen_ = true;
  ++shown_;
  try {
    desktop_.ShowMessage(nullptr, BoxText(message), title_, MessageIcon::Error);
  } catch (...) {
    boxOpen_ = false;
    throw;
  }
  boxOpen_ = false;
  lastClosed_ = sameness;
  closedAt_ = clock_();
  actedSinceClosed_ = false;
}

void ErrorDisplay::EndWithoutBox(const std::exception_ptr& failure) const noexcept {
  const char* reason = "an unknown failure";
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    reason = error.what();
  } catch (...) {
  }
  std::fprintf(stderr, "%s: an error box could not be shown (%s); the program ends.\n",
               title_.c_str(), reason);
  std::exit(EXIT_FAILURE);
}

}  // namespace vosta
