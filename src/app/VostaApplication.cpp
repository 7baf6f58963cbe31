#include "app/VostaApplication.h"

#include "app/ErrorDisplay.h"

namespace vosta {

VostaApplication::VostaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VostaApplication::notify(QObject* receiver, QEvent* event) {
  if (errors_ == nullptr) return QApplication::notify(receiver, event);
  bool handled = false;
  errors_->Run([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

}  // namespace vosta
