#include "platform/Exception.h"

#include <gtest/gtest.h>

namespace vosta {
namespace {

TEST(ExceptionFormatted, FillsTheValueInOnceAndKeepsThePatternAsItsKind) {
  const std::string pattern = "ファイル %1 を作成できません";
  // A value that holds placeholders of its own is taken as it stands.
  const Exception failure = Exception::Formatted(pattern, "/tmp/100%1 %2/VOSTA.ini");
  EXPECT_STREQ(failure.what(), "ファイル /tmp/100%1 %2/VOSTA.ini を作成できません");
  EXPECT_EQ(failure.Kind(), pattern);
  EXPECT_EQ(Exception::Formatted(pattern, "/a").Kind(), Exception::Formatted(pattern, "/b").Kind());

  const Exception number = Exception::Formatted("JPEG エラー #%1", std::int64_t{42});
  EXPECT_STREQ(number.what(), "JPEG エラー #42");
  EXPECT_EQ(number.Kind(), "JPEG エラー #%1");

  const Exception plain("ストリームへの書き込みエラー");
  EXPECT_EQ(plain.Kind(), plain.what());
}

}  // namespace
}  // namespace vosta
