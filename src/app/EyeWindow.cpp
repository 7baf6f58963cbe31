#include "app/EyeWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QMenu>
#include <QTimer>

#include "Messages.h"
#include "app/EyeSettings.h"
#include "app/GameWindowWait.h"
#include "app/RecordingControl.h"
#include "app/ScopedCount.h"
#include "app/SnapshotKey.h"
#include "app/SnapshotTaker.h"
#include "app/StatusPicture.h"
#include "avi/MovieRecorder.h"
#include "capture/OutputNames.h"
#include "dialogs/AboutBox.h"
#include "dialogs/AreaPicker.h"
#include "dialogs/PictureResources.h"
#include "platform/DesktopServices.h"
#include "platform/Exception.h"
#include "shape/PictureWidget.h"
#include "shape/WindowOutline.h"
#include "ui_EyeWindow.h"

namespace vosta {

EyeWindow::EyeWindow(EyeServices services, ErrorDisplay& errors, QTimer& ticks, EyeDialogs dialogs,
                     QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      errors_(errors),
      ui_(std::make_unique<Ui::EyeWindow>()),
      ticks_(ticks),
      dialogs_(dialogs) {
  ui_->setupUi(this);
  // On a visual with an alpha channel where the X server offers one (set before the window is
  // made): what lies outside the eye's outline is transparent, so the eye looks right also where
  // a compositor draws the whole window and ignores its shape (sway, weston). The shape still
  // cuts the window, and the clicks, where the window system honours it.
  setAttribute(Qt::WA_TranslucentBackground);
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setFixedSize(115, 45);

  eye_ = ui_->eye;
  // Never drawn: its picture gives the window its outline.
  outline_ = new WindowOutline(this, &services_.desktop);
  outline_->setGeometry(0, 0, 115, 45);
  exitAction_ = ui_->exitAction;
  openAction_ = ui_->openAction;
  setAreaAction_ = ui_->setAreaAction;
  fullAreaAction_ = ui_->fullAreaAction;
  clipboardAutosaveAction_ = ui_->clipboardAutosaveAction;
  repeatAction_ = ui_->repeatAction;
  recordAction_ = ui_->recordAction;
  aboutAction_ = ui_->aboutAction;
  const auto caption = [](QAction* action, const char* text) {
    action->setText(QString::fromUtf8(text));
  };
  caption(exitAction_, messages::kMenuExit);
  caption(openAction_, messages::kMenuOpen);
  caption(setAreaAction_, messages::kMenuSetArea);
  caption(fullAreaAction_, messages::kMenuFullArea);
  caption(clipboardAutosaveAction_, messages::kMenuClipboardAutosave);
  caption(repeatAction_, messages::kMenuRepeat);
  caption(recordAction_, messages::kMenuRecord);
  caption(aboutAction_, messages::kMenuAbout);

  LoadPictureResources();
  const QImage openEye(":/eye-open.png");
  eye_->SetAutoSize(true);
  eye_->SetPicture(openEye.copy());
  outline_->SetAutoSize(true);
  outline_->SetPicture(QImage(":/outline-mask.png"));

  status_ = std::make_unique<StatusPicture>(*eye_, QImage(":/eye-closed.png"), openEye);
  gameWait_ = std::make_unique<GameWindowWait>(services_.desktop, *this,
                                               [this] { return shutdownRequested_; });
  snapshots_ = std::make_unique<SnapshotTaker>(services_, area_, *gameWait_, *status_, *this);
  // When a movie's pass ends, "Create AVI file" works again, the ticks slow down, and an "Exit"
  // that waited for it takes effect.
  recording_ = std::make_unique<RecordingControl>(services_, area_, *status_, *this, [this] {
    SetMovie(MovieState::Idle);
    Guarded([] {});
  });
  settings_ = std::make_unique<EyeSettings>(services_, *this, area_);
  // The snapshot key is a double-click from anywhere, dispatched as the eye's own double-click
  // is; like it, it does nothing while a box or dialog is open.
  snapshotKey_ = std::make_unique<SnapshotKey>(services_.desktop, [this] {
    errors_.PlayerActed();
    Guarded([this] { OnEyeDoubleClicked(); });
  });

  services_.desktop.MoveWindow(*this, QPoint(403, 143));
  BuildMenu();
  ConnectHandlers();
  ShowModes();
  ticks_.start();

  Guarded([this] { OnCreated(); });
}

EyeWindow::~EyeWindow() = default;

void EyeWindow::BuildMenu() {
  menu_ = new QMenu(this);
  menu_->addAction(exitAction_);
  menu_->addAction(openAction_);
  menu_->addAction(setAreaAction_);
  menu_->addAction(fullAreaAction_);
  menu_->addSeparator();
  menu_->addAction(clipboardAutosaveAction_);
  menu_->addSeparator();
  menu_->addAction(repeatAction_);
  menu_->addAction(recordAction_);
  menu_->addSeparator();
  menu_->addAction(aboutAction_);
}

template <typename Handler>
void EyeWindow::Guarded(Handler handler, ErrorDisplay::Source source) {
  ++handlerDepth_;
  errors_.Run(handler, source);
  --handlerDepth_;
  if (handlerDepth_ == 0) RunPendingExit();
}

void EyeWindow::RunPendingExit() {
  // An "Exit" that came while a wait or a pass ran takes effect once nothing runs any more.
  if (!exitPending_ || exitsRunning_ > 0) return;
  exitPending_ = false;
  ++handlerDepth_;
  errors_.Run([this] { OnExit(); });
  --handlerDepth_;
}

void EyeWindow::SetModes(const EyeModes& modes) {
  modes_ = modes;
  ShowModes();
}

void EyeWindow::SetMovie(MovieState movie) {
  EyeModes modes = modes_;
  modes.movie = movie;
  SetModes(modes);
}

void EyeWindow::ShowModes() {
  clipboardAutosaveAction_->setChecked(modes_.clipboardAutosave);
  repeatAction_->setChecked(modes_.repeat);
  recordAction_->setChecked(modes_.Recording());
  // No second use of the recorder while it finishes: the item stays greyed until then.
  recordAction_->setEnabled(modes_.movie != MovieState::Finishing);
  // A new interval restarts the timer: only a change of pace sets it.
  if (ticks_.interval() != modes_.TickInterval()) ticks_.setInterval(modes_.TickInterval());
}

void EyeWindow::ConnectHandlers() {
  // Only the handlers change check marks: the mark that the menu has just flipped by itself
  // shows the modes again before the handler runs.
  const auto item = [this](QAction* action, void (EyeWindow::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] {
      ShowModes();
      errors_.PlayerActed();
      Guarded([this, handler] { (this->*handler)(); });
    });
  };
  item(exitAction_, &EyeWindow::OnExit);
  item(openAction_, &EyeWindow::OnOpen);
  item(setAreaAction_, &EyeWindow::OnSetArea);
  item(fullAreaAction_, &EyeWindow::OnFullArea);
  item(clipboardAutosaveAction_, &EyeWindow::OnClipboardAutosave);
  item(repeatAction_, &EyeWindow::OnRepeat);
  item(recordAction_, &EyeWindow::OnRecord);
  item(aboutAction_, &EyeWindow::OnAbout);

  connect(eye_, &PictureWidget::MenuRequested, this, [this](QPoint at) { menu_->exec(at); });
  connect(eye_, &PictureWidget::DoubleClicked, this,
          [this] { Guarded([this] { OnEyeDoubleClicked(); }); });
  connect(eye_, &PictureWidget::Pressed, this,
          [this](Qt::MouseButton button, Qt::MouseButtons, QPoint position) {
            OnEyePressed(button, position);
          });
  connect(eye_, &PictureWidget::MouseMoved, this,
          [this](Qt::MouseButtons buttons, QPoint position) {
            Guarded([&] { OnEyeDragged(buttons, position); });
          });
  connect(eye_, &PictureWidget::Released, this, [this](Qt::MouseButton, QPoint) {
    systemMoveRunning_ = false;
    manualMove_ = false;
  });

  // A tick is handled as a message of its own, so that it is also dispatched inside the nested
  // message loops of a running handler (message boxes, dialogs, the game-window wait), the
  // running tick's included.
  connect(&ticks_, &QTimer::timeout, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { OnTick(); }, ErrorDisplay::Source::Tick); },
        Qt::QueuedConnection);
  });
}

bool EyeWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Guarded([this] { OnActivated(); });
  return QWidget::event(event);
}

QPoint EyeWindow::Position() const { return services_.desktop.WindowPosition(*this); }

// --- start-up -------------------------------------------------------------------------------

void EyeWindow::OnCreated() {
  area_ = {};
  outline_->Build();
  outline_->ApplyToWindow();
  services_.places().CreateOutputFolder();
}

void EyeWindow::OnActivated() {
  if (settings_->Loaded()) return;
  SetModes(settings_->LoadOnce(modes_));
  if (settings_->Loaded()) gameWait_->SetGameTitles(settings_->GameTitles());
  if (settings_->Loaded()) snapshotKey_->Take(settings_->SnapshotKeyName());
}

// --- mouse ----------------------------------------------------------------------------------

void EyeWindow::OnEyePressed(Qt::MouseButton button, QPoint position) {
  systemMoveRunning_ = false;
  manualMove_ = false;
  settings_->AllowRetry();
  errors_.PlayerActed();
  if (button == Qt::LeftButton) dragOffset_ = eye_->mapTo(this, position);
}

void EyeWindow::OnEyeDragged(Qt::MouseButtons buttons, QPoint position) {
  if (!(buttons & Qt::LeftButton)) return;
  if (manualMove_) {
    // No window manager to move us: follow the mouse by hand.
    move(eye_->mapTo(this, position) + pos() - dragOffset_);
    return;
  }
  if (systemMoveRunning_) return;
  if (services_.desktop.StartDragMove(*this)) {
    systemMoveRunning_ = true;
  } else {
    manualMove_ = true;
  }
}

void EyeWindow::OnEyeDoubleClicked() {
  if (modes_.repeat || modes_.Recording()) {
    EyeModes modes = modes_;
    modes.repeat = false;
    SetModes(modes);
    if (modes_.Recording()) StopRecording();
    return;
  }
  if (services_.desktop.ClipboardHasBitmap()) {
    snapshots_->SaveClipboardPicture();
  } else {
    snapshots_->TakeSnapshot();
  }
}

// --- the heartbeat --------------------------------------------------------------------------

void EyeWindow::OnTick() {
  gameWait_->CountTick();
  const ClipboardContent clipboard = services_.desktop.ClipboardHolds();
  // Text and the like, or (on a plain X server) an empty clipboard, let the picture saved last go:
  // the same picture copied again afterwards is new. Where the desktop offers its clipboard again
  // by itself, an empty clipboard is what emptying left and does not count.
  if (clipboard == ClipboardContent::Other ||
      (clipboard == ClipboardContent::Nothing && !services_.desktop.ClipboardComesBack())) {
    snapshots_->ClipboardHeldSomethingElse();
  }
  if (clipboard == ClipboardContent::Picture && modes_.clipboardAutosave) {
    snapshots_->SaveClipboardPicture(true);
  }
  if (modes_.repeat) {
    snapshots_->TakeSnapshot();
  } else if (modes_.Recording()) {
    FrameFailure failure = FrameFailure::None;
    try {
      failure = recording_->CaptureFrame();
    } catch (const Exception&) {
      // A failure that stopped the recording: the check mark goes before the error says why.
      if (!recording_->Running()) SetMovie(MovieState::Idle);
      throw;
    }
    if (failure != FrameFailure::None) {
      // The recording has stopped: the check mark goes and the ticks slow down before the
      // notice says why.
      SetMovie(MovieState::Idle);
      recording_->TellWhyStopped(failure);
    }
  }
}

// --- menu commands --------------------------------------------------------------------------

void EyeWindow::OnExit() {
  // While the game-window wait or the finishing of a movie runs, "Exit" takes effect when it
  // is done (the wait's notices are still shown), and the command that waited starts nothing.
  if (modes_.movie == MovieState::Finishing || gameWait_->InProgress()) {
    exitPending_ = true;
    return;
  }
  const ScopedCount running(exitsRunning_);
  // A running recording is finished before the program goes, so the movie is complete; while
  // its pass runs, the program waits for it.
  if (modes_.Recording()) StopRecording();
  if (modes_.movie == MovieState::Finishing) {
    exitPending_ = true;
    return;
  }
  exitPending_ = false;
  settings_->Save(modes_);
  snapshotKey_->Release();
  if (services_.terminate) services_.terminate();
}

void EyeWindow::OnOpen() { services_.desktop.OpenFolder(services_.places().OutputFolder() + "/"); }

void EyeWindow::OnSetArea() {
  if (dialogs_.areaPicker == nullptr) return;
  AreaPicker& picker = *dialogs_.areaPicker;
  const StatusPicture::Busy busy(*status_);
  DesktopServices& desktop = services_.desktop;
  const QRect usable = QRect(QPoint(0, 0), desktop.FullScreenClientSize())
                           .intersected(QRect(QPoint(0, 0), desktop.ScreenSize()));
  QImage frozen;
  try {
    frozen = desktop.CopyScreen(usable);
  } catch (const Exception& failure) {
    if (failure.Kind() != Failure::ScreenUnreadable) throw;
    // No X window shows anywhere: the area is picked over black.
    frozen = QImage(usable.size(), QImage::Format_RGB32);
    frozen.fill(Qt::black);
  }
  picker.Prepare(frozen, devicePixelRatioF());
  picker.exec();
  area_.X1 = RoundDownToEven(picker.Start().x());
  area_.X2 = RoundDownToEven(picker.End().x());
  area_.Y1 = RoundDownToEven(picker.Start().y());
  area_.Y2 = RoundDownToEven(picker.End().y());
}

void EyeWindow::OnFullArea() {
  const QSize usable = services_.desktop.FullScreenClientSize();
  area_ = {0, usable.width(), 0, usable.height()};
}

void EyeWindow::OnClipboardAutosave() {
  EyeModes modes = modes_;
  modes.clipboardAutosave = !modes.clipboardAutosave;
  SetModes(modes);
}

void EyeWindow::OnRepeat() {
  EyeModes modes = modes_;
  modes.repeat = !modes.repeat;
  SetModes(modes);
}

void EyeWindow::OnRecord() {
  // The writer is still creating or finishing a movie: nothing starts or stops until it is done.
  if (modes_.MovieBusy()) return;
  // Inside a running check (a snapshot's wait or its notices) the command goes on without a
  // check of its own.
  if (!gameWait_->InProgress()) gameWait_->Check();
  // The program is ending, or "Exit" came during the wait: nothing starts or stops here; nor
  // while a movie that the wait saw stopped is finished.
  if (shutdownRequested_ || exitPending_ || modes_.MovieBusy()) return;
  if (modes_.Recording()) {
    StopRecording();
    return;
  }
  if (!recording_->AreaRecordable()) return;
  SetMovie(MovieState::Starting);
  SetMovie(recording_->Start() ? MovieState::Recording : MovieState::Idle);
}

void EyeWindow::StopRecording() {
  SetMovie(MovieState::Finishing);
  // The recorder's Finished brings the movie back to Idle, at once when there is no pass.
  recording_->Stop();
}

void EyeWindow::OnAbout() {
  if (dialogs_.about != nullptr) dialogs_.about->exec();
}

// --- ending ---------------------------------------------------------------------------------

void EyeWindow::FinishRecordingOnShutdown() {
  if (!modes_.Recording()) return;
  SetMovie(MovieState::Idle);
  recording_->FinishOnShutdown();
}

void EyeWindow::EndRecordingForExit() { recording_->EndForExit(); }

void EyeWindow::RequestShutdown() {
  shutdownRequested_ = true;
  snapshotKey_->Release();
  recording_->AbortForShutdown();
  if (services_.terminate) services_.terminate();
}

void EyeWindow::closeEvent(QCloseEvent* event) {
  RequestShutdown();
  event->accept();
}

}  // namespace vosta
