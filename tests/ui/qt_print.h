// Readable Qt values in test failures.
#pragma once

#include <ostream>

#include <QString>
#include <QStringList>

inline void PrintTo(const QString &s, std::ostream *os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os) {
    *os << '[';
    for (const QString &s : l) *os << "\n  \"" << s.toStdString() << '"';
    *os << " ]";
}
