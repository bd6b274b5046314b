// Lets GoogleTest print QStrings in failure messages as UTF-8.
#pragma once

#include <ostream>

#include <QString>

inline void PrintTo(const QString &S, std::ostream *Os) {
    *Os << '"' << S.toStdString() << '"';
}
