#include "WriteFailure.h"

#include <QFile>
#include <QStorageInfo>
#include <unistd.h>

namespace vemba::iniEdit::failure {

namespace {

Result told(const QString& path, const QString& why) {
    return Result::failure(QStringLiteral("設定ファイル「%1」に書き込めませんでした。\n理由: %2\n"
                                          "変更した設定は保存されていません。")
                               .arg(path, why));
}

bool mayWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool mayCreateIn(const QString& dir) {
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

bool diskFull(const QString& dir, qint64 bytes) {
    const QStorageInfo storage(dir);
    // A little slack for the directory entry and the file system's own blocks.
    return storage.isValid() && storage.bytesAvailable() < bytes + 8192;
}

} // namespace

Result badEntry(const QString& path, profile::NameProblem problem) {
    switch (problem) {
    case profile::NameProblem::EmptySection:
        return told(path, QStringLiteral("セクション名が空です。"));
    case profile::NameProblem::EmptyKey:
        return told(path, QStringLiteral("キー名が空です。"));
    case profile::NameProblem::LineBreak:
        return told(path, QStringLiteral("名前または値に改行文字や NUL 文字は使えません。"));
    case profile::NameProblem::BracketInSection:
        return told(path, QStringLiteral("セクション名に「]」は使えません。"));
    case profile::NameProblem::EqualsInKey:
        return told(path, QStringLiteral("キー名に「=」は使えません。"));
    case profile::NameProblem::KeyLooksLikeHeader:
        return told(path, QStringLiteral("キー名を「[」や「;」で始めることはできません。"));
    case profile::NameProblem::None:
        break;
    }
    return Result::success();
}

namespace {

// The reason in a few words, shared by the write's and the start-up's wording.
QString why(ReadTrouble trouble, const QString& programDir, const QString& detail) {
    switch (trouble) {
    case ReadTrouble::MissingDirectory:
        return QStringLiteral("フォルダー「%1」がありません。").arg(programDir);
    case ReadTrouble::DirectoryInPlace:
        return QStringLiteral("同じ名前のフォルダーがあります。");
    case ReadTrouble::NotAFile:
        return QStringLiteral("通常のファイルではありません。");
    case ReadTrouble::Unreadable:
        return QStringLiteral("ファイルを読み取れません（%1）。").arg(detail);
    case ReadTrouble::TooLarge:
        return QStringLiteral("ファイルが上限の %1 MiB（%2 バイト）を超えています。")
            .arg(kMaxFileBytes / (1024 * 1024))
            .arg(kMaxFileBytes);
    case ReadTrouble::None:
        break;
    }
    return {};
}

} // namespace

Result cannotRead(const QString& path, const QString& programDir, ReadTrouble trouble,
                  const QString& detail) {
    const QString reason = why(trouble, programDir, detail);
    if (trouble == ReadTrouble::Unreadable || trouble == ReadTrouble::TooLarge) {
        return told(path,
                    reason + QStringLiteral("ほかの設定を消さないよう書き込みを取りやめました。"));
    }
    return told(path, reason);
}

QString startUpCannotRead(const QString& path, ReadTrouble trouble, const QString& detail) {
    const QString then =
        trouble == ReadTrouble::TooLarge
            ? QStringLiteral("設定は初期状態で始まり、今回はこのファイルに何も書き込みません。")
            : QStringLiteral("設定は初期状態で始まります。");
    return QStringLiteral("設定ファイル「%1」を読み込めませんでした。\n理由: %2\n%3")
        .arg(path, why(trouble, {}, detail), then);
}

Result busy(const QString& path) {
    return told(path, QStringLiteral("ほかのプログラムがファイルを使い続けています。"));
}

Result cannotCreate(const QString& path, const QString& dir, const QString& detail) {
    if (QFile::exists(path) && !mayWrite(path)) {
        return told(path, QStringLiteral("ファイルが読み取り専用です。"));
    }
    if (!mayCreateIn(dir)) {
        return told(
            path,
            QStringLiteral("フォルダー「%1」に書き込む権限がないか、読み取り専用です。").arg(dir));
    }
    if (diskFull(dir, 0)) {
        return told(path, QStringLiteral("ディスクの空き容量が足りません。"));
    }
    return told(path, QStringLiteral("ファイルを作成できません（%1）。").arg(detail));
}

Result cannotFinish(const QString& path, const QString& dir, qint64 bytes, const QString& detail) {
    if (diskFull(dir, bytes)) {
        return told(path, QStringLiteral("ディスクの空き容量が足りません。"));
    }
    return told(path, QStringLiteral("ファイルを書き込めません（%1）。").arg(detail));
}

Result folderNotSynced(const QString& path, const QString& dir, const QString& detail) {
    return told(path, QStringLiteral("フォルダー「%1」の更新をディスクに書き込めません（%2）。")
                          .arg(dir, detail));
}

} // namespace vemba::iniEdit::failure
