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
