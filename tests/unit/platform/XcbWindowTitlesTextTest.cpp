#include <gtest/gtest.h>

#include <string>

#include "platform/WindowTitle.h"
#include "platform/x11/XcbWindowTitles.h"

namespace vosta {
namespace {

TEST(WindowTitleText, Latin1BecomesUtf8) {
  EXPECT_EQ(XcbWindowTitles::Latin1ToUtf8("Ultima Online"), "Ultima Online");
  EXPECT_EQ(XcbWindowTitles::Latin1ToUtf8("Caf\xE9 \xFF\xA0"), "Café ÿ\u00A0");
  EXPECT_EQ(XcbWindowTitles::Latin1ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(WindowTitleText, PrefixNeverEndsInsideACharacter) {
  struct Case {
    std::string text;
    std::size_t max;
    std::string expected;
  };
  const Case cases[] = {
      {"abc", 3, "abc"}, {"abcd", 3, "abc"}, {"日本", 6, "日本"}, {"日本", 5, "日"},
      {"日本", 4, "日"}, {"日本", 3, "日"},  {"日本", 2, ""},     {"aé", 2, "a"},
      {"a😀b", 4, "a"},   {"a😀b", 5, "a😀"},   {"", 255, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8Prefix(c.text, c.max), c.expected) << c.text << " " << c.max;
  }
}

TEST(WindowTitleText, CompoundTextDecodesAsciiLatin1AndUtf8Segments) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"Ultima Online", "Ultima Online"},
      // Latin-1 right half is the default, and can be chosen explicitly.
      {"Caf\xE9", "Café"},
      {"\x1B-ACaf\xE9", "Café"},
      // An embedded UTF-8 segment, with text after it.
      {"\x1B%G日本\x1B%@ Ultima Online", "日本 Ultima Online"},
      {"\x1B%G日本", "日本"},
      // JIS X 0208 in the left half: two bytes a character, shown as '?', then back to ASCII.
      {"\x1B$(B\x46\x7C\x4B\x5C\x1B(B Ultima Online", "?? Ultima Online"},
      // A Cyrillic right half: not Latin-1.
      {"\x1B-L\xB0\xB1 x", "?? x"},
      // Sequences cut off at the end and direction marks leave no trace.
      {"ab\x1B", "ab"},
      {"\x9B"
       "1]ab\x9B]",
       "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XcbWindowTitles::CompoundTextToUtf8(c.text), c.expected);
  }
}

}  // namespace
}  // namespace vosta
