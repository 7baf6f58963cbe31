#include "app/FailureTexts.h"

#include <gtest/gtest.h>

namespace vosta {
namespace {

// The layers below the application report a kind and its data; the application's text fills the
// data in once, as the player has always read it.
TEST(FailureTexts, FillTheKindsDataIntoThePlayersText) {
  // A name that holds placeholders of its own is taken as it stands.
  const Exception file(Failure::CannotCreateFile, "/tmp/100%1 %2/VOSTA.ini");
  EXPECT_EQ(file.Kind(), Failure::CannotCreateFile);
  EXPECT_EQ(file.Name(), "/tmp/100%1 %2/VOSTA.ini");
  EXPECT_EQ(FailureText(file), "ファイル /tmp/100%1 %2/VOSTA.ini を作成できません");
  EXPECT_STREQ(file.what(), "cannot create the file: /tmp/100%1 %2/VOSTA.ini");

  const Exception jpeg = Exception::WithCode(Failure::JpegError, 42);
  EXPECT_EQ(FailureText(jpeg), "JPEG エラー #42");
  EXPECT_EQ(jpeg.Code(), 42);

  const Exception size = Exception::WithSize(Failure::ClipboardNoMemory, 30000, 20000);
  EXPECT_EQ(FailureText(size),
            "クリップボードの画像 (30000 x 20000) を読み込むためのメモリが足りません");

  EXPECT_EQ(FailureText(Exception(Failure::WriteError)), "ストリームへの書き込みエラー");
  EXPECT_EQ(FailureText(Exception(Failure::KeyTaken, "Ctrl+F12")),
            "スナップショットのキー Ctrl+F12 は使えません: ほかのプログラムが使っています");
}

}  // namespace
}  // namespace vosta
