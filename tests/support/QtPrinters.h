#pragma once

// Readable failure messages for Qt's text types in GoogleTest assertions.

#include <QRect>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << "{";
    for (qsizetype i = 0; i < list.size(); ++i) {
        *os << (i == 0 ? " \"" : ", \"") << list[i].toStdString() << '"';
    }
    *os << " }";
}

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
