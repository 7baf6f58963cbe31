#include "app/SettingsFile.h"

#include <cstddef>
#include <span>

#include "capture/CaptureArea.h"
#include "platform/Exception.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"

namespace vosta {

namespace {

constexpr std::string_view kWinX = "WINX=";
constexpr std::string_view kWinY = "WINY=";
constexpr std::string_view kCpx1 = "CPX1=";
constexpr std::string_view kCpx2 = "CPX2=";
constexpr std::string_view kCpy1 = "CPY1=";
constexpr std::string_view kCpy2 = "CPY2=";
constexpr std::string_view kClipAutoSave = "CLIPAUTOSAVE=";
constexpr std::string_view kSnapshotKey = "HOTKEY=";
constexpr std::string_view kGameTitles = "GAMETITLE=";
constexpr std::string_view kLineEnd = "\r\n";

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// The value of one hexadecimal digit, or -1.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex digits only, at least one, value within 32 bits (leading zeros cost nothing); the value
// is the 32-bit pattern, so FFFFFFFF reads as -1.
std::int32_t HexNumber(std::string_view digits) {
  if (digits.empty()) return 0;  // a prefix alone
  std::uint64_t value = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return 0;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Decimal digits only, at least one, magnitude within the signed 32-bit range for its sign.
std::int32_t DecimalNumber(std::string_view digits, bool negative) {
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  std::uint64_t magnitude = 0;
  for (char c : digits) {
    if (!IsDecimalDigit(c)) return 0;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    if (magnitude > limit) return 0;
  }
  const std::int64_t value =
      negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  return static_cast<std::int32_t>(value);
}

// The part of `line` after `key` when the line begins with it, byte for byte.
std::optional<std::string_view> RestAfter(std::string_view line, std::string_view key) {
  if (!line.starts_with(key)) return std::nullopt;
  return line.substr(key.size());
}

// Calls `onLine` for each line of `text` in order, without collecting them, so a file of
// millions of empty lines costs no memory beyond the text itself.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine&& onLine) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);

  const std::size_t size = text.size();
  std::size_t start = 0;
  while (start < size) {
    std::size_t end = start;
    while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
    onLine(text.substr(start, end - start));
    if (end == size) return;
    // CR LF is one break; a lone CR or a lone LF is one too.
    start = end + 1;
    if (text[end] == '\r' && start < size && text[start] == '\n') ++start;
  }
}

}  // namespace

std::int32_t Number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  text.remove_prefix(i);
  if (text.empty()) return 0;

  switch (text.front()) {
    case '$':
    case 'x':
    case 'X':
      return HexNumber(text.substr(1));
    case '+':
      return DecimalNumber(text.substr(1), false);
    case '-':
      return DecimalNumber(text.substr(1), true);
    case '0':
      if (text.size() >= 2 && (text[1] == 'x' || text[1] == 'X')) {
        return HexNumber(text.substr(2));
      }
      break;
    default:
      break;
  }
  return DecimalNumber(text, false);
}

std::vector<std::string_view> SplitSettingsLines(std::string_view text) {
  std::vector<std::string_view> lines;
  ForEachLine(text, [&lines](std::string_view line) { lines.push_back(line); });
  return lines;
}

void ApplySettingsText(std::string_view text, SettingsReceiver& receiver) {
  ForEachLine(text, [&receiver](std::string_view line) {
    // The keys differ within their first four bytes, so a line matches at most one of them.
    if (auto rest = RestAfter(line, kWinX)) {
      receiver.SetWindowLeft(Number(*rest));
    } else if (auto rest = RestAfter(line, kWinY)) {
      receiver.SetWindowTop(Number(*rest));
    } else if (auto rest = RestAfter(line, kCpx1)) {
      receiver.SetAreaX1(RoundDownToEven(Number(*rest)));
    } else if (auto rest = RestAfter(line, kCpx2)) {
      receiver.SetAreaX2(RoundDownToEven(Number(*rest)));
    } else if (auto rest = RestAfter(line, kCpy1)) {
      receiver.SetAreaY1(RoundDownToEven(Number(*rest)));
    } else if (auto rest = RestAfter(line, kCpy2)) {
      receiver.SetAreaY2(RoundDownToEven(Number(*rest)));
    } else if (auto rest = RestAfter(line, kClipAutoSave)) {
      // Only a rest of exactly "0" turns autosave off; anything else, empty included, turns it on.
      receiver.SetClipAutoSave(*rest != "0");
    } else if (auto rest = RestAfter(line, kSnapshotKey)) {
      receiver.SetSnapshotKey(*rest);
    } else if (auto rest = RestAfter(line, kGameTitles)) {
      // A line that names no text at all is as if it were not there.
      if (!GameTitleTexts(*rest).empty()) receiver.SetGameTitles(*rest);
    }
  });
}

std::vector<std::string> GameTitleTexts(std::string_view value) {
  std::vector<std::string> texts;
  for (;;) {
    const std::size_t bar = value.find('|');
    const std::string_view text = value.substr(0, bar);
    if (!text.empty()) texts.emplace_back(text);
    if (bar == std::string_view::npos) return texts;
    value.remove_prefix(bar + 1);
  }
}

std::string FormatSettings(const SettingsValues& values) {
  std::string text;
  const auto add = [&text](std::string_view key, std::string_view value) {
    text.append(key).append(value).append(kLineEnd);
  };
  add(kWinX, std::to_string(values.winX));
  add(kWinY, std::to_string(values.winY));
  add(kCpx1, std::to_string(values.x1));
  add(kCpx2, std::to_string(values.x2));
  add(kCpy1, std::to_string(values.y1));
  add(kCpy2, std::to_string(values.y2));
  add(kClipAutoSave, values.clipAutoSave ? "1" : "0");
  if (values.snapshotKey) add(kSnapshotKey, *values.snapshotKey);
  if (values.gameTitles) add(kGameTitles, *values.gameTitles);
  return text;
}

std::optional<std::string> ReadSettingsFile(const std::string& path) {
  return ReadRegularFile(path);
}

void WriteSettingsFile(const std::string& path, const SettingsValues& values) {
  const std::string text = FormatSettings(values);
  ReplaceFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace vosta
