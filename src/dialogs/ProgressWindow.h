#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vosta {

// The window of a running compression pass: "圧縮ＡＶＩファイル作成中...", the bar from 0 to 100
// and "中断". A plain window of the application, not kept on top, shown modeless in the centre
// of the screen with a 200 x 80 client area; built for each pass.
class ProgressWindow : public QWidget {
  Q_OBJECT

 public:
  ProgressWindow();

  // Shows the window and paints it at once, before the pass's first frame is done.
  void ShowNow();
  void SetPercent(int percent);

  QLabel* label() const { return label_; }
  QPushButton* abortButton() const { return abort_; }
  QProgressBar* bar() const { return bar_; }

 signals:
  // "中断" was pressed, or the window's close command was given.
  void AbortRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* label_ = nullptr;
  QPushButton* abort_ = nullptr;
  QProgressBar* bar_ = nullptr;
};

}  // namespace vosta
