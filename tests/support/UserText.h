#pragma once

// What the program tells the user is Japanese: file names and paths (the
// one given, or any in 「」) and the sound library's own words in brackets
// aside, it holds no Latin word.

#include <QRegularExpression>
#include <QString>

namespace vemba::usertext {

inline bool japaneseOnly(QString message, const QString& path = {}) {
    if (!path.isEmpty()) {
        message.remove(path);
    }
    message.remove(QRegularExpression(QStringLiteral("「[^」]*」|\\([^)]*\\)")));
    return !message.contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,}")));
}

} // namespace vemba::usertext
