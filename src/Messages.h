#pragma once

// The texts the player sees, in one place.

namespace vosta::messages {

// --- movies: the recorder's warnings ("警告") and errors ("エラー") ---------------------------
inline constexpr const char* kWarningCaption = "警告";
inline constexpr const char* kErrorCaption = "エラー";
inline constexpr const char* kMovieNotCreatedText = "ＡＶＩファイルを作成できませんでした.";
inline constexpr const char* kStreamNotCreatedText = "映像ストリームを作成できませんでした.";
inline constexpr const char* kMovieNotOpenedText = "ＡＶＩファイルを開けませんでした.";
inline constexpr const char* kStreamNotOpenedText = "映像ストリームを開けませんでした.";
inline constexpr const char* kCompressionStoppedText = "圧縮ＡＶＩファイル作成を中断しました.";
inline constexpr const char* kSequenceNotStartedText =
    "フレームシーケンス圧縮のリソースが初期化出来ません.";
inline constexpr const char* kSequenceFrameFailedText = "フレームシーケンス圧縮が出来ませんでした.";
// Put before the warning of a pass that ended on a fault, to say why.
inline constexpr const char* kPassDiskFullText = "ディスクがいっぱいです。";
inline constexpr const char* kPassWriteText = "圧縮ＡＶＩファイルに書き込めませんでした。";
inline constexpr const char* kPassCreateText = "圧縮ＡＶＩファイルを作成できませんでした。";
inline constexpr const char* kPassReadText = "録画したＡＶＩファイルを読み込めませんでした。";
inline constexpr const char* kPassPlaceText =
    "圧縮ＡＶＩファイルを録画したファイルの場所に置けませんでした。";
inline constexpr const char* kRecordingKeptText = "録画したＡＶＩファイルはそのまま残っています。";

// --- movies: the progress window of the compression pass ----------------------------------
inline constexpr const char* kProgressCaption = "進行状況";
inline constexpr const char* kProgressText = "圧縮ＡＶＩファイル作成中...";
inline constexpr const char* kAbortCaption = "中断";

// --- movies: the compression dialogs ------------------------------------------------------
inline constexpr const char* kCodecChooserTitle = "ＡＶＩ圧縮方式選択";
inline constexpr const char* kSaveOptionsTitle = "圧縮オプション";
inline constexpr const char* kCompressorLabel = "圧縮プログラム(&C):";
inline constexpr const char* kQualityLabel = "圧縮の品質(&Q):";
inline constexpr const char* kKeyFramesLabel = "キーフレーム(&K)";
inline constexpr const char* kKeyFramesSuffix = " フレームごと";
inline constexpr const char* kDataRateLabel = "データ レート(&D)";
inline constexpr const char* kDataRateSuffix = " KB/秒";
inline constexpr const char* kPreviewLabel = "プレビュー:";
inline constexpr const char* kCancelButton = "キャンセル";
// The preview's size line: the bytes of the frame, and its share of the frame as recorded.
inline constexpr const char* kPreviewBytes = "%1 バイト";
inline constexpr const char* kPreviewShare = "（無圧縮 %1 バイトの %2 %）";
// Why the preview shows no frame.
inline constexpr const char* kPreviewNoFrame =
    "このＡＶＩファイルには表示できるフレームがありません。";
inline constexpr const char* kPreviewEncoderRefused =
    "この圧縮プログラムはこのフレームを圧縮できません。";

}  // namespace vosta::messages
