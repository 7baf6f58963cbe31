#pragma once

// Every text the player sees, by where it appears: the eye's menu, the dialogs, the message
// boxes and their captions, and the failures that the error box shows. The movie writer keeps
// its own texts (src/avi/). A "%1" or "%2" is filled in with QString::arg; a failure's message
// with its "%1" still in it is that failure's kind (Exception::Kind).

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
    "AVIファイルに書き込めなかったため録画を止めました。AVIファイルには %1 フレームが入っています。";

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
inline constexpr char kClipboardNoMemory[] =
    "クリップボードの画像 (%1 x %2) を読み込むためのメモリが足りません";

// The eye's outline: its spans cannot be held, cannot be gathered into one outline, or the
// window system refuses the outline.
inline constexpr char kOutlineCreateFailed[] = "CreateRectRgnに失敗しました";
inline constexpr char kOutlineCombineFailed[] = "CombineRgnに失敗しました";
inline constexpr char kOutlineApplyFailed[] = "SetWindowRGNに失敗しました";

// A failure that is not the program's own and says nothing the player could read.
inline constexpr char kUnknownFailure[] = "Unknown failure";

}  // namespace vosta::messages
