// What several benchmarks share: a text of real prose and the process's peak
// memory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <malloc.h>

#include "core/shingles.h"

namespace corvane::bench {

// The licence texts every Debian system ships, cut to 100 KB (CORVANE_PROSE
// names another UTF-8 file), with CR LF line breaks, normalised.
inline QString LoadProse() {
    QByteArray bytes;
    if (const char *path = std::getenv("CORVANE_PROSE")) {
        QFile f(QString::fromLocal8Bit(path));
        if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
    } else {
        QDir dir(QStringLiteral("/usr/share/common-licenses"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) bytes += f.readAll();
            if (bytes.size() >= 100 * 1000) break;
        }
    }
    bytes.truncate(100 * 1000);
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(u'\n', QStringLiteral("\r\n"));
    NormalizeText(text);
    return text;
}

// The process's peak resident set, in kB (Linux only; 0 elsewhere).
inline long VmHwmKb() {
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atol(line + 6);
    std::fclose(f);
    return kb;
}

// Hands free heap memory back and resets the peak to the current resident set.
inline void ResetHwm() {
    malloc_trim(0);
    if (std::FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

} // namespace corvane::bench
