#include "app/texts.h"

const char* const kInstallCaption = "Install";
const char* const kUninstallCaption = "UnInstall";
const char* const kFileNotFoundCaption = "FileNotFound!";
const char* const kExtractToCaption = "ExtractTo?";
const char* const kProcessingCaption = "Processing...";

const char* const kProcessingError =
    "処理中にエラーが発生しました。\n他のMODがファイルを使用している可能性があります。";
const char* const kExtractionError = "解凍中にエラーが発生しました。";
const char* const kUninstallError = "アンインストール中にエラーが発生しました。";
const char* const kKeptFilesNotice =
    "インストール後に変更されたファイルは削除せず、次の名前で残しました。";
const char* const kRemoveInstalledError =
    "インストール中のMODは削除できません。先にアンインストールしてください。";
const char* const kBrowseInstalledError =
    "インストール中のMODの解凍先は変更できません。先にアンインストールしてください。";
const char* const kRepairUndone = "前回中断された処理を元に戻しました。";
const char* const kRepairCompleted = "前回中断された処理を完了しました。";
const char* const kRepairIncomplete =
    "前回中断された処理を修復できませんでした。次回の起動時に再度修復します。";

const char* const kRepairDamagedPlan =
    "前回中断された処理の記録が壊れていたため、修復は行わずに記録を別の名前で保存しました。"
    "フォルダの内容を確認してください。";

const char* const kSettingsWriteError = "設定ファイルに書き込めませんでした。";
const char* const kProgramDirectoryTooLong = "プログラムのフォルダのパスが長すぎます。";
const char* const kPathNotRepresentable =
    "選択されたパスには、このシステムの文字コードで表せない文字が含まれているため、"
    "使用できません。";
const char* const kPathTooLong = "選択されたパスが長すぎるため、使用できません。";

const char* const kMenuCheckFiles = "Check Files";
const char* const kMenuOpenFolder = "Open Folder";
const char* const kMenuShowArchive = "Show Archive";
const char* const kCheckIntact = "インストール時のままのファイル: ";
const char* const kCheckChanged = "インストール後に変更されたファイル: ";
const char* const kCheckMissing = "見つからないファイル: ";
const char* const kCheckUnreadable = "他のプログラムが使用中で読めなかったファイル: ";
const char* const kCheckChangedMark = "変更: ";
const char* const kCheckMissingMark = "なし: ";
const char* const kCheckNoBackups = "このMODが退避した元のファイルはありません。";
const char* const kCheckBackupsKept = "退避した元のファイルはすべて残っています: ";
const char* const kCheckBackupsGone = "退避した元のファイルのうち、見つからないもの: ";
const char* const kCheckNoRecord =
    "このMODにはインストールの記録がないため、ファイルを確認できません。\n"
    "インストールされていないか、以前のバージョンでインストールされたMODです。";
const char* const kCheckUnreadableRecord = "インストールの記録を読み込めませんでした。";
const char* const kNoFolderSet = "このMODの解凍先が設定されていません。";
const char* const kFolderGone = "解凍先のフォルダが見つかりません。";
const char* const kArchiveGone = "MODのファイルが見つかりません。";
const char* const kShellOpenFailed = "フォルダを開けませんでした。";

// --- What went wrong, below a command's message -------------------------------

const char* const kProblemSeparator = ": ";
const char* const kBackupTakenByMod = "バックアップ名がMOD「%s」で使用されています。";
const char* const kBackupTakenOnDisk = "バックアップ名「%s」のファイルが既にあります。";
const char* const kKeptChangedAs = "インストール後に変更されていたため、「%s」として残しました。";
const char* const kLeftChanged = "中断の後に変更されていたため、削除せずに残しました。";
const char* const kOriginalAt = "元のファイルは「%s」にあります。";
const char* const kNotUndone = "元に戻せませんでした。";
const char* const kNotMovedBack = "「%s」から元に戻せませんでした。";

namespace {

template <typename Key>
struct Phrase {
  Key key;
  const char* text;
};

template <typename Key, std::size_t N>
const char* Find(const Phrase<Key> (&table)[N], Key key, const char* otherwise) {
  for (const Phrase<Key>& phrase : table) {
    if (phrase.key == key) return phrase.text;
  }
  return otherwise;
}

const char* const kFailed = "操作できませんでした。";

const Phrase<ArchiveRefusal> kRefusalPhrases[] = {
    {ArchiveRefusal::CannotRead, "アーカイブを読み込めません。"},
    {ArchiveRefusal::NotZip, "ZIPアーカイブではありません。"},
    {ArchiveRefusal::DamagedData, "データが壊れています。"},
    {ArchiveRefusal::SizesDisagree, "サイズの情報が矛盾しています。データが壊れています。"},
    {ArchiveRefusal::Overlapping, "他のファイルとデータが重なっています。"},
    {ArchiveRefusal::Encrypted, "暗号化されています。"},
    {ArchiveRefusal::UnknownMethod, "対応していない圧縮方式です。"},
    {ArchiveRefusal::Link, "シンボリックリンクです。"},
    {ArchiveRefusal::LeavesFolder, "名前が解凍先のフォルダの外を指しています。"},
    {ArchiveRefusal::AbsoluteName, "名前が絶対パスです。"},
    {ArchiveRefusal::NameNotInCodePage, "このシステムの文字コードで表せない名前が含まれています。"},
    {ArchiveRefusal::NameNotCreatable, "Windowsで作成できない名前です。"},
    {ArchiveRefusal::SameTarget, "他のファイルと同じ場所に解凍されます。"},
};

const Phrase<FileCause> kCausePhrases[] = {
    {FileCause::NotFound, "見つかりません。"},
    {FileCause::InUse,
     "他のプログラムが使用しています。ゲームを終了してから、もう一度お試しください。"},
    {FileCause::ReadOnly, "読み取り専用です。"},
    {FileCause::AccessDenied, "アクセスが拒否されました。"},
    {FileCause::DiskFull, "ディスクの空き容量が足りません。"},
    {FileCause::NameTooLong, "パスが長すぎます。"},
    {FileCause::BadName, "このシステムで使用できない名前です。"},
    {FileCause::Exists, "同じ名前のファイルが既にあります。"},
    {FileCause::NotRegular, "通常のファイルではありません。"},
};

const Phrase<ProblemKind> kKindPhrases[] = {
    {ProblemKind::BackupShared, "同じバックアップ名になるファイルがMODの中にあります。"},
    {ProblemKind::BackupOfModFile, "他のファイルのバックアップ名と同じ名前です。"},
    {ProblemKind::FolderInTheWay, "同じ名前のフォルダがあります。"},
    {ProblemKind::FileInTheWay, "同じ名前のファイルがあるため、フォルダを作成できません。"},
    {ProblemKind::SameTarget, "MODの中の別のファイルと同じファイルになります。"},
    {ProblemKind::NameTooLong, "パスが長すぎます。"},
    {ProblemKind::FolderGone, "フォルダが存在しません。"},
    {ProblemKind::NoKeptName, "変更されたファイルを残す名前が見つかりません。"},
    {ProblemKind::PlanNotWritten, "処理の記録を書き込めませんでした。"},
    {ProblemKind::NotStored, "設定ファイルに書き込めませんでした。"},
};

}  // namespace

const char* ArchiveRefusalText(ArchiveRefusal reason) {
  return Find(kRefusalPhrases, reason, kFailed);
}
const char* FileCauseText(FileCause cause) { return Find(kCausePhrases, cause, kFailed); }
const char* ProblemKindText(ProblemKind kind) { return Find(kKindPhrases, kind, kFailed); }
