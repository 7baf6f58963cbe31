#pragma once

// Every text the player sees, by where it appears: the eye's menu, the dialogs, the message
// boxes and their captions, the movie recorder's warnings, windows and dialogs, and the failures
// that the error box shows. A "%1" or "%2" is filled in with QString::arg. Only the application
// and its dialogs use these: the layers below report kinds (Failure, MovieWarning, the media
// layer's MediaErrorKind), and app/FailureTexts and app/RecorderReports turn them into these.

namespace vosta::messages {

// --- the eye's menu ---------------------------------------------------------------------------

inline constexpr char kMenuExit[] = "Exit";
inline constexpr char kMenuOpen[] = "Open";
inline constexpr char kMenuSetArea[] = "Set area";
inline constexpr char kMenuFullArea[] = "Full area";
inline constexpr char kMenuClipboardAutosave[] = "Clip board auto save";
inline constexpr char kMenuRepeat[] = "Repeat to file";
inline constexpr char kMenuRecord[] = "Create AVI file";
inline constexpr char kMenuAbout[] = "About";

// --- the About box ----------------------------------------------------------------------------

inline constexpr char kAboutTitle[] = "About";
inline constexpr char kAboutOk[] = "OK";

// --- the area picker's prompts, drawn over the frozen screen ----------------------------------

inline constexpr char kPickStart[] = "キャプチャする場所の開始点をクリックしてください。";
inline constexpr char kPickEnd[] = "キャプチャする場所の終了点をクリックしてください。";

// --- captions of the eye's notices and refusals -----------------------------------------------

inline constexpr char kNoticeCaption[] = "VOSTA";
// A snapshot refused because the game is not running.
inline constexpr char kRefusalCaption[] = "TOLVAN";

// --- the game-window check --------------------------------------------------------------------

// After ten ticks without the game's window (information).
inline constexpr char kGameNotFound[] = "Ultima Online が見つかりません。";
// A snapshot refused after that wait (error, kRefusalCaption).
inline constexpr char kGameNotRunning[] = "Ultima Online が起動してないっぽいです。";

// --- snapshots and recordings -----------------------------------------------------------------

// A snapshot or a recording asked for while the capture area is empty (information).
inline constexpr char kAreaNotSet[] = "キャプチャ範囲が設定されていません。";
// A snapshot or a movie frame of an area where no X window lies, on a desktop whose screen only
// the Wayland compositor holds (the error box; a recording says it once and goes on).
inline constexpr char kAreaUnreadable[] =
    "キャプチャ範囲に X のウィンドウがないため、画面を読み取れません";
// The screen of a Wayland desktop, read through the compositor (the error box; a recording
// stops with every whole frame and says it once). No file is written.
// No other way shows the area and the desktop has no screen cast portal.
inline constexpr char kPortalMissing[] =
    "画面を読み取れません: このデスクトップには画面共有のポータル (ScreenCast) がありません";
// The player cancelled the desktop's screen sharing dialog, or the desktop refused.
inline constexpr char kPortalRefused[] =
    "画面の共有が許可されなかったため、キャプチャできません。次のキャプチャでもう一度たずねます";
// The portal or PipeWire failed; %1 is its own detail.
inline constexpr char kPortalFailed[] = "画面の共有を始められません: %1";
// The shared screen's stream ended (a monitor went away, the desktop restarted).
inline constexpr char kScreenStreamEnded[] =
    "画面の共有が終わりました (モニターが外されたか、デスクトップが再起動しました)。"
    "次のキャプチャでもう一度たずねます";
// The compositor refused to copy its screen; %1 is its detail.
inline constexpr char kCompositorCopyFailed[] = "コンポジターから画面を読み取れません: %1";
// The movie file could not be made when a recording was to start (error).
inline constexpr char kMovieNotCreated[] = "AVIファイルを作成できませんでした";
// An area too large for a movie frame, with its width and height (error).
inline constexpr char kAreaTooLarge[] = "キャプチャ範囲が大きすぎるため録画できません (%1 x %2)。";
// A recording stopped by the disk or by the movie's removal; with the frames the movie holds
// (error).
inline constexpr char kDiskFull[] =
    "ディスクがいっぱいになったため録画を止めました。AVIファイルには %1 フレームが入っています。";
inline constexpr char kMovieRemoved[] = "AVIファイルが削除されたため録画を止めました。";
inline constexpr char kWriteFailed[] =
    "AVIファイルに書き込めなかったため録画を止めました。AVIファイルには %1 "
    "フレームが入っています。";

// --- failures shown in the error box (caption: the application's title) -----------------------

// Files: a file that cannot be made or written (%1: its path as the caller built it), a disk
// that took fewer bytes than asked, a settings file that exists but cannot be read.
inline constexpr char kCannotCreateFile[] = "ファイル %1 を作成できません";
inline constexpr char kWriteError[] = "ストリームへの書き込みエラー";
inline constexpr char kCannotOpenFile[] = "ファイル %1 は開けません";
// The executable's folder, where everything is written, cannot be found.
inline constexpr char kNoExecutablePlace[] = "実行ファイルの場所を取得できません";

// Pictures: a grab's picture that cannot be allocated, and the JPEG encoder's failure with the
// encoder's message number.
inline constexpr char kNoPictureMemory[] = "ビットマップを作成できません";
inline constexpr char kJpegError[] = "JPEG エラー #%1";

// The clipboard: nothing there that can be read as a picture, a picture larger than a JPEG can
// hold, a picture the memory cannot hold (%1 x %2: its width and height).
inline constexpr char kUnsupportedClipboard[] = "未対応のクリップボード データです";
inline constexpr char kClipboardTooLarge[] =
    "クリップボードの画像が大きすぎます (%1 x %2)。JPEG にできるのは 65500 x 65500 までです";
// A capture area that a JPEG cannot hold (%1 x %2: its width and height).
inline constexpr char kAreaTooLargeForJpeg[] =
    "キャプチャ範囲が大きすぎます (%1 x %2)。JPEG にできるのは 65500 x 65500 までです";
inline constexpr char kClipboardNoMemory[] =
    "クリップボードの画像 (%1 x %2) を読み込むためのメモリが足りません";

// The eye's outline: its spans cannot be held, cannot be gathered into one outline, or the
// window system refuses the outline.
inline constexpr char kOutlineCreateFailed[] = "CreateRectRgnに失敗しました";
inline constexpr char kOutlineCombineFailed[] = "CombineRgnに失敗しました";
inline constexpr char kOutlineApplyFailed[] = "SetWindowRGNに失敗しました";

// The snapshot key of the settings' HOTKEY line (%1: the line's value) cannot be used; the
// program runs on without it.
inline constexpr char kKeyUnknown[] =
    "スナップショットのキー %1 は使えません: そのような名前のキーはありません";
inline constexpr char kKeyUnknownModifier[] =
    "スナップショットのキー %1 は使えません: そのような修飾キーはありません";
inline constexpr char kKeyMissing[] =
    "スナップショットのキー %1 は使えません: キーの名前がありません";
inline constexpr char kKeyIsModifier[] =
    "スナップショットのキー %1 は使えません: 修飾キーやロックキーはそれだけでは使えません";
inline constexpr char kKeyNotOnKeyboard[] =
    "スナップショットのキー %1 は使えません: このキーボードにはそのキーがありません";
inline constexpr char kKeyTaken[] =
    "スナップショットのキー %1 は使えません: ほかのプログラムが使っています";
inline constexpr char kKeyRefused[] =
    "スナップショットのキー %1 は使えません: X サーバーが登録を拒否しました";
inline constexpr char kKeyNoDisplay[] =
    "スナップショットのキー %1 は使えません: X サーバーがありません";

// What the snapshot key does, shown by a desktop that binds the key for the program (its
// dialog or its list of shortcuts).
inline constexpr char kSnapshotKeyDescription[] = "キャプチャ範囲のスナップショットを撮る";

// A failure that is not the program's own and says nothing the player could read.
inline constexpr char kUnknownFailure[] = "Unknown failure";

// --- the movie recorder's warnings ("警告") and errors ("エラー") ---------------------------

inline constexpr char kWarningCaption[] = "警告";
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kMovieNotCreatedText[] = "ＡＶＩファイルを作成できませんでした.";
inline constexpr char kStreamNotCreatedText[] = "映像ストリームを作成できませんでした.";
inline constexpr char kMovieNotOpenedText[] = "ＡＶＩファイルを開けませんでした.";
inline constexpr char kStreamNotOpenedText[] = "映像ストリームを開けませんでした.";
inline constexpr char kCompressionStoppedText[] = "圧縮ＡＶＩファイル作成を中断しました.";
inline constexpr char kSequenceNotStartedText[] =
    "フレームシーケンス圧縮のリソースが初期化出来ません.";
inline constexpr char kSequenceFrameFailedText[] = "フレームシーケンス圧縮が出来ませんでした.";
// Put before the warning of a pass that ended on a fault, to say why.
inline constexpr char kPassDiskFullText[] = "ディスクがいっぱいです。";
inline constexpr char kPassWriteText[] = "圧縮ＡＶＩファイルに書き込めませんでした。";
inline constexpr char kPassCreateText[] = "圧縮ＡＶＩファイルを作成できませんでした。";
inline constexpr char kPassReadText[] = "録画したＡＶＩファイルを読み込めませんでした。";
inline constexpr char kPassPlaceText[] =
    "圧縮ＡＶＩファイルを録画したファイルの場所に置けませんでした。";
inline constexpr char kRecordingKeptText[] = "録画したＡＶＩファイルはそのまま残っています。";

// --- the progress window of the compression pass ---------------------------------------------

inline constexpr char kProgressCaption[] = "進行状況";
inline constexpr char kProgressText[] = "圧縮ＡＶＩファイル作成中...";
inline constexpr char kAbortCaption[] = "中断";

// --- the codec choice and the save options ---------------------------------------------------

inline constexpr char kCodecChooserTitle[] = "ＡＶＩ圧縮方式選択";
inline constexpr char kSaveOptionsTitle[] = "圧縮オプション";
inline constexpr char kCompressorLabel[] = "圧縮プログラム(&C):";
inline constexpr char kUncompressedEntry[] = "Full Frames (Uncompressed)";
inline constexpr char kQualityLabel[] = "圧縮の品質(&Q):";
inline constexpr char kKeyFramesLabel[] = "キーフレーム(&K)";
inline constexpr char kKeyFramesSuffix[] = " フレームごと";
inline constexpr char kDataRateLabel[] = "データ レート(&D)";
inline constexpr char kDataRateSuffix[] = " KB/秒";
inline constexpr char kPreviewLabel[] = "プレビュー:";
inline constexpr char kCancelButton[] = "キャンセル";
// The preview's size line: the bytes of the frame, and its share of the frame as recorded.
inline constexpr char kPreviewBytes[] = "%1 バイト";
inline constexpr char kPreviewShare[] = "（無圧縮 %1 バイトの %2 %）";
// Why the preview shows no frame.
inline constexpr char kPreviewNoFrame[] = "このＡＶＩファイルには表示できるフレームがありません。";
inline constexpr char kPreviewEncoderRefused[] =
    "この圧縮プログラムはこのフレームを圧縮できません。";

// --- on standard error, when no X server answers at the start (after "vosta: ") ------------

inline constexpr char kNoXDisplay[] =
    "no X server to run on: DISPLAY is not set (VOSTA is an X program; on a Wayland desktop it "
    "runs through Xwayland)";
inline constexpr char kXDisplayUnreachable[] =
    "no X server to run on: the display %1 cannot be opened (VOSTA is an X program; on a Wayland "
    "desktop it runs through Xwayland)";

}  // namespace vosta::messages
