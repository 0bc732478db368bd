#include "WriteFailure.h"

#include <QFile>
#include <QStorageInfo>
#include <unistd.h>

namespace vemba::iniEdit::failure {

namespace {

WriteResult told(const QString& path, const QString& why) {
    return WriteResult::failed(
        QStringLiteral("設定ファイル「%1」に書き込めませんでした。\n理由: %2\n"
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

WriteResult badEntry(const QString& path, profile::NameProblem problem) {
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
    return {};
}

WriteResult missingDirectory(const QString& path, const QString& dir) {
    return told(path, QStringLiteral("フォルダー「%1」がありません。").arg(dir));
}

WriteResult directoryInPlace(const QString& path) {
    return told(path, QStringLiteral("同じ名前のフォルダーがあります。"));
}

WriteResult notAFile(const QString& path) {
    return told(path, QStringLiteral("通常のファイルではありません。"));
}

WriteResult unreadable(const QString& path, const QString& detail) {
    return told(path,
                QStringLiteral("ファイルを読み取れないため、ほかの設定を消さないよう書き込みを"
                               "取りやめました（%1）。")
                    .arg(detail));
}

WriteResult cannotCreate(const QString& path, const QString& dir, const QString& detail) {
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

WriteResult cannotFinish(const QString& path, const QString& dir, qint64 bytes,
                         const QString& detail) {
    if (diskFull(dir, bytes)) {
        return told(path, QStringLiteral("ディスクの空き容量が足りません。"));
    }
    return told(path, QStringLiteral("ファイルを書き込めません（%1）。").arg(detail));
}

} // namespace vemba::iniEdit::failure
