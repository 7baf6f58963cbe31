#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <string>

namespace vosta {

// The window of a running compression pass: its label, the abort button and the bar from 0 to
// 100. Built for each pass; a plain window of the application, not kept on top, shown modeless
// in the centre of the screen with a 200 x 80 client area.
class TProgressWindow : public QWidget {
  Q_OBJECT

 public:
  TProgressWindow(const std::string& caption, const std::string& text,
                  const std::string& abortCaption);

  QLabel* Label1 = nullptr;
  QPushButton* Abort1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;

 signals:
  // The abort button was pressed, or the window's close command was given.
  void AbortRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace vosta
