#pragma once

// Every text the player sees, by where it appears: menu entries, dialogs, message boxes and
// their captions, and the failures that the error box shows. The movie writer keeps its own
// texts (src/avi/). A "%1" or "%2" is filled in with QString::arg.

namespace vosta::messages {

// --- message-box captions ---------------------------------------------------------------------

// Notices and refusals of the eye's own commands.
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
// A recording stopped by the disk, with the frames that the movie holds (error).
inline constexpr char kDiskFull[] =
    "ディスクがいっぱいになったため録画を止めました。AVIファイルには %1 フレームが入っています。";
inline constexpr char kMovieRemoved[] = "AVIファイルが削除されたため録画を止めました。";
inline constexpr char kWriteFailed[] =
    "AVIファイルに書き込めなかったため録画を止めました。AVIファイルには %1 フレームが入っています。";

}  // namespace vosta::messages
