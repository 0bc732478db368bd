#include "WriterRounds.h"

#include "iniEdit.h"

#include <QList>

namespace vemba::test {

namespace {

QString payload(int round) {
    QString text;
    quint32 x = quint32(round) * 2654435761u + 1;
    for (int i = 0; i < 40; ++i) {
        x = x * 1103515245u + 12345u;
        text += QString::number(x >> 8, 16);
    }
    return text;
}

} // namespace

QString roundValue(int round) {
    return QStringLiteral("%1:%2:%1").arg(round).arg(payload(round));
}

std::optional<int> roundOf(const QString& value) {
    const QStringList parts = value.split(u':');
    if (parts.size() != 3 || parts[0] != parts[2])
        return std::nullopt;
    bool ok = false;
    const int round = parts[0].toInt(&ok);
    if (!ok || parts[1] != payload(round))
        return std::nullopt;
    return round;
}

std::optional<Step> nextStep(const QString& programDir) {
    int rounds[kEntryCount];
    for (int i = 0; i < kEntryCount; ++i) {
        const auto round =
            roundOf(iniEdit::ReadSetting(programDir, kEntries[i].section, kEntries[i].key));
        if (!round)
            return std::nullopt;
        rounds[i] = *round;
    }
    int j = 1;
    while (j < kEntryCount && rounds[j] == rounds[0])
        ++j;
    for (int i = j; i < kEntryCount; ++i) {
        if (rounds[i] != rounds[0] - 1)
            return std::nullopt;
    }
    return j == kEntryCount ? Step{rounds[0] + 1, 0} : Step{rounds[0], j};
}

QByteArray seedText() {
    const QByteArray v = roundValue(0).toUtf8();
    return "; ヴェンバPC の設定\r\n"
           "\r\n"
           "[Position]\r\n"
           "Top=" +
           v +
           "\r\n"
           "  Left =  " +
           v +
           "  \r\n"
           "\r\n"
           "[Memo]\r\n"
           "Note=手で書いたメモ\r\n"
           "\r\n"
           "[sound1]\r\n"
           "active=" +
           v +
           "\r\n"
           "; frequency index\r\n"
           "Freq=" +
           v +
           "\r\n"
           "[Sound2]\r\n"
           "Active=" +
           v +
           "\r\n"
           "Freq=" +
           v +
           "\r\n"
           "[Sound3]\r\n"
           "Active=" +
           v +
           "\r\n"
           "Freq=" +
           v +
           "\r\n"
           "[WaveForm]\r\n"
           "Form=" +
           v +
           "\r\n"
           "[Volume]\r\n"
           "V=" +
           v + "\r\n";
}

QByteArray skeleton(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0 && !line.startsWith("Note"))
            line = line.left(eq + 1) + (line.endsWith('\r') ? "\r" : "");
    }
    return lines.join('\n');
}

} // namespace vemba::test
