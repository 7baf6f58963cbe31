#include "app/Unit5.h"

#include <QCloseEvent>
#include <QEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <cmath>
#include <filesystem>

#include "app/ErrorDisplay.h"
#include "app/ScreenReach.h"
#include "app/SettingsFile.h"
#include "capture/JpegWriter.h"
#include "capture/OutputNames.h"
#include "capture/ScreenGrab.h"
#include "dialogs/AboutBox.h"
#include "dialogs/AreaPicker.h"
#include "dialogs/PictureResources.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "shape/PictureWidget.h"
#include "shape/WindowOutline.h"
#include "ui_Unit5.h"

namespace vosta {

namespace {

constexpr int kIdleInterval = 1000;       // ms between ticks
constexpr int kRecordingInterval = 66;    // ms between ticks while a movie is recorded
constexpr std::int32_t kGameWaitTicks = 10;
constexpr std::size_t kTitleBytes = 255;
constexpr std::string_view kGameTitle = "Ultima Online";

constexpr const char* kNoticeCaption = "VOSTA";
constexpr const char* kGameNotFound = "Ultima Online が見つかりません。";
constexpr const char* kRefusalCaption = "TOLVAN";
constexpr const char* kGameNotRunning = "Ultima Online が起動してないっぽいです。";
constexpr const char* kAreaNotSet = "キャプチャ範囲が設定されていません。";
constexpr const char* kMovieNotCreated = "AVIファイルを作成できませんでした";
constexpr const char* kAreaTooLarge = "キャプチャ範囲が大きすぎるため録画できません (%d x %d)。";
constexpr const char* kDiskFull =
    "ディスクがいっぱいになったため録画を止めました。AVIファイルには %d フレームが入っています。";
constexpr const char* kMovieRemoved = "AVIファイルが削除されたため録画を止めました。";
constexpr const char* kWriteFailed =
    "AVIファイルに書き込めなかったため録画を止めました。AVIファイルには %d フレームが入っています。";

// A counter that is raised for the lifetime of a scope.
class ScopedCount {
 public:
  explicit ScopedCount(int& count) : count_(count) { ++count_; }
  ~ScopedCount() { --count_; }
  ScopedCount(const ScopedCount&) = delete;
  ScopedCount& operator=(const ScopedCount&) = delete;

 private:
  int& count_;
};

}  // namespace

PictureFingerprint FingerprintOf(const QImage& picture) {
  return {picture.size(), picture.format(),
          qHashBits(picture.constBits(), static_cast<std::size_t>(picture.sizeInBytes()))};
}

// Shows the closed eye while a capture works and the open eye again when it ends, however it
// ends. Nested captures (a clipboard save inside a snapshot's wait) keep the closed eye until
// the outermost one is done.
class TMainForm::BusyPicture {
 public:
  explicit BusyPicture(TMainForm& form) : form_(form) {
    if (form_.busyPictures_++ == 0) form_.ShowStatusPicture(*form_.Image2);
  }
  ~BusyPicture() {
    if (--form_.busyPictures_ == 0) form_.ShowStatusPicture(*form_.Image3);
  }
  BusyPicture(const BusyPicture&) = delete;
  BusyPicture& operator=(const BusyPicture&) = delete;

 private:
  TMainForm& form_;
};

// Applies the settings file's lines to the window and its state.
class TMainForm::SettingsApplier final : public SettingsReceiver {
 public:
  explicit SettingsApplier(TMainForm& form) : form_(form) {}
  void SetWindowLeft(std::int32_t x) override { form_.SetLeft(x); }
  void SetWindowTop(std::int32_t y) override { form_.SetTop(y); }
  void SetAreaX1(std::int32_t v) override { form_.CaptureArea.X1 = v; }
  void SetAreaX2(std::int32_t v) override { form_.CaptureArea.X2 = v; }
  void SetAreaY1(std::int32_t v) override { form_.CaptureArea.Y1 = v; }
  void SetAreaY2(std::int32_t v) override { form_.CaptureArea.Y2 = v; }
  void SetClipAutoSave(bool on) override { form_.Clipboardautosave1->setChecked(on); }

 private:
  TMainForm& form_;
};

TMainForm::TMainForm(MainFormServices services, ErrorDisplay& errors, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), errors_(errors),
      ui_(std::make_unique<Ui::TMainForm>()) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setFixedSize(115, 45);

  Image1 = ui_->Image1;
  FormRgn1 = ui_->FormRgn1;
  Image2 = ui_->Image2;
  Image3 = ui_->Image3;
  Exit1 = ui_->Exit1;
  Open1 = ui_->Open1;
  SetArea1 = ui_->SetArea1;
  FullArea1 = ui_->FullArea1;
  Clipboardautosave1 = ui_->Clipboardautosave1;
  Repeat1 = ui_->Repeat1;
  Repeattomemory1 = ui_->Repeattomemory1;
  About1 = ui_->About1;

  LoadPictureResources();
  const QImage openEye(":/eye-open.png");
  Image1->SetAutoSize(true);
  Image1->SetPicture(openEye.copy());
  Image2->SetPicture(QImage(":/eye-closed.png"));
  Image3->SetAutoSize(true);
  Image3->SetPicture(openEye);
  FormRgn1->SetDesktopServices(&services_.desktop);
  FormRgn1->SetAutoSize(true);
  FormRgn1->SetPicture(QImage(":/outline-mask.png"));

  OrvAvi1 = std::make_unique<TOrvAvi>(services_.desktop, this);
  OrvAvi1->SetWidth(320);
  OrvAvi1->SetHeight(240);
  OrvAvi1->SetCompress(true);
  OrvAvi1->SetPreCompress(false);
  OrvAvi1->SetFrameRate(16);
  OrvAvi1->SetBitDepth(16);

  services_.desktop.MoveWindow(*this, QPoint(403, 143));
  BuildMenu();
  ConnectHandlers();
  Timer1.setInterval(kIdleInterval);
  Timer1.start();

  Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm() = default;

void TMainForm::SetDialogs(AboutBox* about, AreaPicker* areaOverlay) {
  form1_ = about;
  form2_ = areaOverlay;
  if (form2_ != nullptr) form2_->SetDesktopServices(&services_.desktop);
}

void TMainForm::BuildMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->addAction(Exit1);
  PopupMenu1->addAction(Open1);
  PopupMenu1->addAction(SetArea1);
  PopupMenu1->addAction(FullArea1);
  PopupMenu1->addSeparator()->setObjectName("N2");
  PopupMenu1->addAction(Clipboardautosave1);
  PopupMenu1->addSeparator()->setObjectName("N3");
  PopupMenu1->addAction(Repeat1);
  PopupMenu1->addAction(Repeattomemory1);
  PopupMenu1->addSeparator()->setObjectName("N1");
  PopupMenu1->addAction(About1);
}

template <typename Handler>
void TMainForm::Guarded(Handler handler, ErrorDisplay::Source source) {
  ++handlerDepth_;
  errors_.Run(handler, source);
  --handlerDepth_;
  if (handlerDepth_ == 0) RunPendingExit();
}

void TMainForm::RunPendingExit() {
  // An "Exit" that came while a wait or a pass ran takes effect once nothing runs any more.
  if (!exitPending_ || exiting_) return;
  exitPending_ = false;
  ++handlerDepth_;
  errors_.Run([this] { Exit1Click(); });
  --handlerDepth_;
}

void TMainForm::ConnectHandlers() {
  // Only the handlers change check marks: the mark that the menu has just flipped by itself is
  // put back before the handler runs.
  const auto item = [this](QAction* action, void (TMainForm::*handler)()) {
    connect(action, &QAction::triggered, this, [this, action, handler] {
      if (action->isCheckable()) {
        const QSignalBlocker blocker(action);
        action->setChecked(!action->isChecked());
      }
      errors_.PlayerActed();
      Guarded([this, handler] { (this->*handler)(); });
    });
  };
  item(Exit1, &TMainForm::Exit1Click);
  item(Open1, &TMainForm::Open1Click);
  item(SetArea1, &TMainForm::SetArea1Click);
  item(FullArea1, &TMainForm::FullArea1Click);
  item(Clipboardautosave1, &TMainForm::Clipboardautosave1Click);
  item(Repeat1, &TMainForm::Repeat1Click);
  item(Repeattomemory1, &TMainForm::Repeattomemory1Click);
  item(About1, &TMainForm::About1Click);

  connect(Image1, &PictureWidget::MenuRequested, this, [this](QPoint at) { PopupMenu1->exec(at); });
  connect(Image1, &PictureWidget::DoubleClicked, this, [this] { Guarded([this] { Image1DblClick(); }); });
  connect(Image1, &PictureWidget::Pressed, this,
          [this](Qt::MouseButton button, Qt::MouseButtons, QPoint position) {
            systemMoveRunning_ = false;
            manualMove_ = false;
            settingsRetryBlocked_ = false;
            errors_.PlayerActed();
            if (button == Qt::LeftButton) dragOffset_ = Image1->mapTo(this, position);
          });
  connect(Image1, &PictureWidget::MouseMoved, this, [this](Qt::MouseButtons buttons, QPoint position) {
    Guarded([&] { Image1MouseMove(buttons, position); });
  });
  connect(Image1, &PictureWidget::Released, this, [this](Qt::MouseButton, QPoint) {
    systemMoveRunning_ = false;
    manualMove_ = false;
  });

  // A tick is handled as a message of its own, so that it is also dispatched inside the nested
  // message loops of a running handler (message boxes, dialogs, the game-window wait), the
  // running tick's included.
  connect(&Timer1, &QTimer::timeout, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { Timer1Timer(); }, ErrorDisplay::Source::Tick); },
        Qt::QueuedConnection);
  });
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Guarded([this] { FormActivate(); });
  return QWidget::event(event);
}

// --- start-up -------------------------------------------------------------------------------

void TMainForm::FormCreate() {
  CaptureArea = {};
  SettingsLoaded = false;
  FormRgn1->Build();
  FormRgn1->ApplyToWindow();
  CreateOutputFolder(services_.appDir());
}

void TMainForm::FormActivate() {
  // After a failed read the next try waits for the user's next press on the eye: closing the
  // error box activates the window again, and an unreadable file would otherwise bring the box
  // back at once, over and over.
  if (SettingsLoaded || settingsRetryBlocked_) return;
  settingsRetryBlocked_ = true;
  LoadSettings();
  SettingsLoaded = true;
  settingsRetryBlocked_ = false;
}

// --- mouse ----------------------------------------------------------------------------------

void TMainForm::Image1MouseMove(Qt::MouseButtons buttons, QPoint position) {
  if (!(buttons & Qt::LeftButton)) return;
  if (manualMove_) {
    // No window manager to move us: follow the mouse by hand.
    move(Image1->mapTo(this, position) + pos() - dragOffset_);
    return;
  }
  if (systemMoveRunning_) return;
  if (services_.desktop.StartDragMove(*this)) {
    systemMoveRunning_ = true;
  } else {
    manualMove_ = true;
  }
}

void TMainForm::Image1DblClick() {
  if (Repeat1->isChecked() || Repeattomemory1->isChecked()) {
    Repeat1->setChecked(false);
    if (Repeattomemory1->isChecked()) StopRecording();
    return;
  }
  if (services_.desktop.ClipboardHasBitmap()) {
    SaveClipboardImage();
  } else {
    TakeSnapshot();
  }
}

// --- the heartbeat --------------------------------------------------------------------------

void TMainForm::Timer1Timer() {
  ++TickCount;
  const bool clipboardPicture = services_.desktop.ClipboardHasBitmap();
  // The clipboard has let go of the picture saved last: the next one is new, even if the same.
  if (!clipboardPicture) lastClipboardSave_.reset();
  if (clipboardPicture && Clipboardautosave1->isChecked()) SaveClipboardImage(true);
  if (Repeat1->isChecked()) {
    TakeSnapshot();
  } else if (Repeattomemory1->isChecked()) {
    CaptureAviFrame();
  }
}

// --- menu commands --------------------------------------------------------------------------

void TMainForm::Exit1Click() {
  // While the game-window wait or the finishing of a movie runs, "Exit" takes effect when it
  // is done (the wait's notices are still shown), and the command that waited starts nothing.
  if (OrvAvi1->Finishing() || GameCheckInProgress()) {
    exitPending_ = true;
    return;
  }
  // A running recording is finished before the program goes, so the movie is complete.
  exiting_ = true;
  if (Repeattomemory1->isChecked()) StopRecording();
  exitPending_ = false;
  SaveSettings();
  if (services_.terminate) services_.terminate();
  exiting_ = false;
}

void TMainForm::Open1Click() { services_.desktop.OpenFolder(OutputFolder() + "/"); }

void TMainForm::SetArea1Click() {
  if (form2_ == nullptr) return;
  BusyPicture busy(*this);
  DesktopServices& desktop = services_.desktop;
  const QRect usable = QRect(QPoint(0, 0), desktop.FullScreenClientSize())
                           .intersected(QRect(QPoint(0, 0), desktop.ScreenSize()));
  form2_->Prepare(desktop.CopyScreen(usable), devicePixelRatioF());
  form2_->exec();
  CaptureArea.X1 = RoundDownToEven(form2_->Start().x());
  CaptureArea.X2 = RoundDownToEven(form2_->End().x());
  CaptureArea.Y1 = RoundDownToEven(form2_->Start().y());
  CaptureArea.Y2 = RoundDownToEven(form2_->End().y());
}

void TMainForm::FullArea1Click() {
  const QSize usable = services_.desktop.FullScreenClientSize();
  CaptureArea = {0, usable.width(), 0, usable.height()};
}

void TMainForm::Clipboardautosave1Click() {
  Clipboardautosave1->setChecked(!Clipboardautosave1->isChecked());
}

void TMainForm::Repeat1Click() { Repeat1->setChecked(!Repeat1->isChecked()); }

void TMainForm::Repeattomemory1Click() {
  // The writer is still finishing the last movie: nothing starts or stops until it is done.
  if (OrvAvi1->Finishing()) return;
  // Inside a running check (a snapshot's wait or its notices) the command goes on without a
  // check of its own.
  if (!GameCheckInProgress()) FindGameWindow();
  // The program is ending, or "Exit" came during the wait: nothing starts or stops here.
  if (shutdownRequested_ || exitPending_) return;
  if (Repeattomemory1->isChecked()) {
    StopRecording();
    return;
  }
  const QRect area = CaptureArea.Normalised();
  if (area.isEmpty()) {
    services_.desktop.ShowMessage(this, kAreaNotSet, kNoticeCaption, MessageIcon::Information);
    return;
  }
  // A frame of the area must be possible before a movie is begun: at most 65535 pixels each
  // way (the movie's frame size) and a 32-bit grab of it under 2 GiB.
  const std::int64_t width = std::abs(std::int64_t{CaptureArea.X2} - CaptureArea.X1);
  const std::int64_t height = std::abs(std::int64_t{CaptureArea.Y2} - CaptureArea.Y1);
  if (width > 0xFFFF || height > 0xFFFF || width * height * 4 > INT32_MAX) {
    services_.desktop.ShowMessage(
        this,
        FormatMessage(FormatMessage(kAreaTooLarge, std::to_string(width)), std::to_string(height)),
        kNoticeCaption, MessageIcon::Error);
    return;
  }
  Timer1.setInterval(kRecordingInterval);
  CreateOutputFolder(services_.appDir());
  // The writer takes the name exclusively, numbered when a movie of that second exists.
  OrvAvi1->SetFileName(MoviePath(services_.appDir(), TimestampName(services_.clock)));
  OrvAvi1->SetWidth(static_cast<std::uint16_t>(area.width()));
  OrvAvi1->SetHeight(static_cast<std::uint16_t>(area.height()));
  if (OrvAvi1->Start()) {
    Repeattomemory1->setChecked(true);
  } else {
    services_.desktop.ShowMessage(this, kMovieNotCreated, kNoticeCaption, MessageIcon::Error);
    Repeattomemory1->setChecked(false);
    Timer1.setInterval(kIdleInterval);
  }
}

void TMainForm::About1Click() {
  if (form1_ != nullptr) form1_->exec();
}

// --- status picture -------------------------------------------------------------------------

void TMainForm::ShowStatusPicture(PictureWidget& source) {
  {
    QPainter painter(&Image1->Picture());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), source.Picture(), QRect(0, 0, 45, 45));
  }
  Image1->RepaintNow();
}

// --- settings -------------------------------------------------------------------------------

void TMainForm::LoadSettings() {
  const std::optional<std::string> text = ReadSettingsFile(SettingsPath(services_.appDir()));
  if (!text) return;
  SettingsApplier applier(*this);
  ApplySettingsText(*text, applier);
  // An eye put wholly off every screen could never be reached again, not even to choose
  // "Exit": it comes back to the nearest place where all of it shows.
  const double scale = devicePixelRatioF();
  const QRect eye(QPoint(static_cast<int>(std::lround(scale)), static_cast<int>(std::lround(scale))),
                  QSize(static_cast<int>(std::lround(43 * scale)), static_cast<int>(std::lround(44 * scale))));
  const QPoint position(Left(), Top());
  const QPoint reachable =
      ReachablePosition(position, eye, services_.desktop.ScreenGeometries());
  if (reachable != position) services_.desktop.MoveWindow(*this, reachable);
}

void TMainForm::SaveSettings() {
  SettingsValues values;
  values.winX = Left();
  values.winY = Top();
  values.x1 = CaptureArea.X1;
  values.x2 = CaptureArea.X2;
  values.y1 = CaptureArea.Y1;
  values.y2 = CaptureArea.Y2;
  values.clipAutoSave = Clipboardautosave1->isChecked();
  WriteSettingsFile(SettingsPath(services_.appDir()), values);
}

std::int32_t TMainForm::Left() { return services_.desktop.WindowPosition(*this).x(); }
std::int32_t TMainForm::Top() { return services_.desktop.WindowPosition(*this).y(); }

void TMainForm::SetLeft(std::int32_t x) {
  services_.desktop.MoveWindow(*this, QPoint(x, Top()));
}

void TMainForm::SetTop(std::int32_t y) {
  services_.desktop.MoveWindow(*this, QPoint(Left(), y));
}

// --- game-window check ----------------------------------------------------------------------

void TMainForm::FindGameWindow() {
  const ScopedCount inProgress(gameChecksInProgress_);
  GameWindow = 0;
  for (const TopLevelWindow& window : services_.desktop.TopLevelWindows()) {
    GameWindowEnumProc(window, 0);
  }
  TickCount = 0;
  // Keep the interface alive until the window is known or ten ticks have passed. The first
  // pass only dispatches what is pending; later passes sleep until the next event arrives.
  PumpMode mode = PumpMode::NoWait;
  for (;;) {
    services_.desktop.PumpMessages(mode);
    mode = PumpMode::WaitForNext;
    // A termination request ends the wait at once, without its notice.
    if (shutdownRequested_) return;
    if (GameWindow != 0 || TickCount >= kGameWaitTicks) break;
  }
  if (TickCount >= kGameWaitTicks) {
    services_.desktop.ShowMessage(this, kGameNotFound, kNoticeCaption, MessageIcon::Information);
  }
}

void TMainForm::GameWindowEnumProc(const TopLevelWindow& window, std::intptr_t) {
  const std::string_view title =
      std::string_view(window.title).substr(0, std::min(window.title.size(), kTitleBytes));
  if (title.find(kGameTitle) != std::string_view::npos) GameWindow = window.id;
}

// --- still capture --------------------------------------------------------------------------

void TMainForm::TakeSnapshot() {
  // One wait at a time: a tick or a double-click that comes while a snapshot or a recording's
  // command waits for the game window or shows its notices is skipped, so waits never pile up
  // inside each other.
  if (SnapshotInProgress() || GameCheckInProgress()) return;
  const ScopedCount inProgress(snapshotsInProgress_);
  BusyPicture busy(*this);
  {
    const ScopedCount checking(gameChecksInProgress_);
    FindGameWindow();
    if (shutdownRequested_) return;
    if (GameWindow == 0) {
      services_.desktop.ShowMessage(this, kGameNotRunning, kRefusalCaption, MessageIcon::Error);
      return;
    }
  }
  if (CaptureArea.IsEmpty()) {
    services_.desktop.ShowMessage(this, kAreaNotSet, kNoticeCaption, MessageIcon::Information);
    return;
  }
  const QImage picture = GrabCaptureArea(services_.desktop, CaptureArea, GrabDepth::Bits32);
  const std::string name = TimestampName(services_.clock);
  CreateOutputFolder(services_.appDir());
  SaveBitmapAsJpeg(picture, JpegPath(services_.appDir(), name));
}

void TMainForm::SaveClipboardImage(bool unlessSavedLast) {
  BusyPicture busy(*this);
  const QImage picture = services_.desktop.ClipboardBitmap();
  // A clipboard that emptying did not empty (a clipboard keeper takes the picture back) still
  // holds the picture saved last: autosave does not save it a second time.
  const PictureFingerprint fingerprint = FingerprintOf(picture);
  if (unlessSavedLast && lastClipboardSave_ == fingerprint) return;
  const std::string name = TimestampName(services_.clock);
  CreateOutputFolder(services_.appDir());
  SaveBitmapAsJpeg(picture, JpegPath(services_.appDir(), name));
  lastClipboardSave_ = fingerprint;
  services_.desktop.EmptyClipboard();
}

// --- recording ------------------------------------------------------------------------------

void TMainForm::CaptureAviFrame() {
  BusyPicture busy(*this);
  // The screen's own 32-bit pixels go straight into the writer's 16-bit frame: one conversion,
  // and the same 5 bits a colour as a 16-bit grab would give.
  const QImage frame = GrabCaptureArea(services_.desktop, CaptureArea, GrabDepth::Bits32);
  if (frame.isNull() || OrvAvi1->AddFrame(frame)) return;
  if (!OrvAvi1->DiskFull() && !OrvAvi1->WriteFailed()) return;  // not a refusal of the file
  // The disk is full or failed: the recording stops with every frame so far; no pass, as the
  // disk has no room for one or cannot be trusted with it.
  const char* text = OrvAvi1->DiskFull()      ? kDiskFull
                     : OrvAvi1->FileRemoved() ? kMovieRemoved
                                              : kWriteFailed;
  Repeattomemory1->setChecked(false);
  OrvAvi1->FinishWithoutPass();
  Timer1.setInterval(kIdleInterval);
  services_.desktop.ShowMessage(
      this, FormatMessage(text, std::to_string(OrvAvi1->StreamInfo().dwLength)), kNoticeCaption,
      MessageIcon::Error);
}

void TMainForm::StopRecording() {
  Repeattomemory1->setChecked(false);
  // No second use of the writer while it finishes: the item stays greyed during the pass.
  Repeattomemory1->setEnabled(false);
  OrvAvi1->Finish();
  Repeattomemory1->setEnabled(true);
  Timer1.setInterval(kIdleInterval);
}

void TMainForm::FinishRecordingOnShutdown() {
  if (!Repeattomemory1->isChecked()) return;
  Repeattomemory1->setChecked(false);
  OrvAvi1->FinishWithoutPass();
}

void TMainForm::RequestShutdown() {
  shutdownRequested_ = true;
  OrvAvi1->AbortForShutdown();
  if (services_.terminate) services_.terminate();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  RequestShutdown();
  event->accept();
}

std::string TMainForm::OutputFolder() const { return vosta::OutputFolder(services_.appDir()); }

}  // namespace vosta
