#pragma once

#include <QApplication>

namespace vosta {

class ErrorDisplay;

// The application object. A failure that escapes an event handler without passing through a
// handler's own guard still reaches the error display here instead of ending the program.
class VostaApplication : public QApplication {
 public:
  VostaApplication(int& argc, char** argv);
  void SetErrorDisplay(ErrorDisplay* errors) { errors_ = errors; }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ErrorDisplay* errors_ = nullptr;
};

}  // namespace vosta
