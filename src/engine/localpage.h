// The page of a "file://" task: read with the limits of a download (size,
// stall, total time) and an abort check, so that a FIFO, a device or a huge
// file can neither block a worker for ever nor exhaust memory.
#pragma once

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QString>

namespace corvane {

struct TLocalPage {
    enum TStatus {
        lpOk,      // Page holds the text
        lpMissing, // nothing at the path, or a folder: a page that does not exist
        lpError,   // cannot be opened or read, too large, too slow: Error says why
        lpAborted, // the abort check held while reading
    };
    TStatus Status = lpOk;
    QByteArray Page;
    QString Error;
};

// Reads the file at Path and turns it into the page the extractors take
// (LocalFilePage). AbortCheck, when given, is polled while reading.
TLocalPage ReadLocalPage(const QString &Path, const std::function<bool()> &AbortCheck = {});

// The local file of a "file://" task as the extractors take it: a byte-order
// mark selects UTF-8 or UTF-16 (re-encoded as UTF-8), otherwise the bytes as
// they are; lines joined with CR LF, one after the last line.
QByteArray LocalFilePage(const QByteArray &Bytes);

} // namespace corvane
