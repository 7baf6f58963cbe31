#include "app/ErrorDisplay.h"

#include <QString>

#include "platform/DesktopServices.h"

namespace vosta {

ErrorDisplay::ErrorDisplay(DesktopServices& desktop, std::string title)
    : desktop_(desktop), title_(std::move(title)) {}

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

void ErrorDisplay::Show(const std::string& message) {
  if (boxOpen_) return;
  boxOpen_ = true;
  ++shown_;
  try {
    desktop_.ShowMessage(nullptr, BoxText(message), title_, MessageIcon::Error);
  } catch (...) {
    boxOpen_ = false;
    throw;
  }
  boxOpen_ = false;
}

}  // namespace vosta
