#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vosta {

// The settings file VOSTA.ini: the eye's position, the capture area and the clipboard autosave
// switch, as seven KEY=VALUE lines, and the snapshot key and the game's window titles after them
// when they are set.

// Whole-number conversion with 0 as fallback. Leading spaces are skipped; then either an
// optional "+" or "-" and decimal digits, or a hexadecimal number introduced by "$", "x", "X",
// "0x" or "0X" (no sign before it), taken as a 32-bit pattern ($FFFFFFFF -> -1). Anything else
// gives 0: empty text, a sign or prefix without digits, a blank or other character after the
// digits, a decimal value outside the int32 range, a hexadecimal value needing more than 32 bits.
std::int32_t Number(std::string_view text);

// Splits 8-bit text into lines: CR LF, a lone CR and a lone LF each end a line; a NUL byte ends
// the text; the break after the last line makes no empty line; empty lines between breaks count.
// The views point into `text`.
std::vector<std::string_view> SplitSettingsLines(std::string_view text);

// What the file sets, applied line by line in file order (last occurrence wins; the window
// moves once per WINX/WINY line).
class SettingsReceiver {
 public:
  virtual ~SettingsReceiver() = default;
  virtual void SetWindowLeft(std::int32_t x) = 0;
  virtual void SetWindowTop(std::int32_t y) = 0;
  virtual void SetAreaX1(std::int32_t v) = 0;  // already rounded down to even
  virtual void SetAreaX2(std::int32_t v) = 0;
  virtual void SetAreaY1(std::int32_t v) = 0;
  virtual void SetAreaY2(std::int32_t v) = 0;
  virtual void SetClipAutoSave(bool on) = 0;
  virtual void SetSnapshotKey(std::string_view name) = 0;  // the line's rest, as it stands
  // GAMETITLE's rest as it stands; only for a line that names at least one text.
  virtual void SetGameTitles(std::string_view titles) = 0;
};

// The texts of a GAMETITLE value: the parts between "|", byte for byte, empty ones left out.
std::vector<std::string> GameTitleTexts(std::string_view value);

// Puts every line of `text` through the key tests and tells `receiver` what each matching line
// sets. Keys match case-sensitively at the very start of a line; other lines are ignored.
void ApplySettingsText(std::string_view text, SettingsReceiver& receiver);

struct SettingsValues {
  std::int32_t winX = 0, winY = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  bool clipAutoSave = false;
  std::optional<std::string> snapshotKey;  // HOTKEY's value as the file gave it, empty ones too
  // (Braced, so that initialisations that stop before it compile without a warning.)
  std::optional<std::string> gameTitles{};  // GAMETITLE's value as the file gave it, empty ones too
};

// The seven lines, CR LF each, in key order, then HOTKEY and GAMETITLE when the file had those
// lines. Area values are written as held (odd ones too).
std::string FormatSettings(const SettingsValues& values);

// Reads the whole file. Returns std::nullopt when no file exists (nothing reported). Throws
// Exception(Failure::CannotOpenFile, path) when it exists but cannot be read (no permission,
// a directory or other non-regular file in its place, a read error).
std::optional<std::string> ReadSettingsFile(const std::string& path);

// Replaces the file whole: temporary file + rename, so a failed write never leaves it shortened
// or emptied. Errors as ReplaceFile throws them ("ファイル %1 を作成できません", ...).
void WriteSettingsFile(const std::string& path, const SettingsValues& values);

}  // namespace vosta
