// Page decoding and the local extraction of a page's significant text.
#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// A page's character set, as declared by a <meta http-equiv="..."
// content="...charset=..."> element in its first 1024 bytes: "UTF8" (also for
// every charset other than the two Windows code pages), "WINDOWS-1251" or
// "WINDOWS-1252". Lang is "RU" unless a meta element's content gives another
// value (upper-cased, as the head is searched upper-cased).
struct TCharsetInfo {
    QString Charset = QStringLiteral("UTF8");
    QString Lang = QStringLiteral("RU");
};

TCharsetInfo DetectCharset(const QByteArray &Page);

// The page's bytes as text: "WINDOWS-1251" and "WINDOWS-1252" through their
// code page, stopping at the first zero byte; anything else as UTF-8, with
// U+FFFD for every malformed sequence.
QString DecodePage(const QByteArray &Page, const QString &Charset);

// Code is always 0: every page, however malformed, yields a text. Text holds
// the headings (h1..h6) whole and the lines of p, li and pre elements (and of
// what follows <hr>) that hold at least five words, separated by CR LF; an
// element still open at the end of the page is appended as collected, and a
// page without such elements can give a few blanks, which NormalizeText
// removes. Spaces before ".", "!" and "?" are dropped.
struct TExtractResult {
    int Code = 0;
    QString Text;
    QString Lang;
    // For a failure, why, for the log (the service: each attempt's endpoint and reason).
    QString Failure;
};

TExtractResult ExtractSignificantText(const QByteArray &Page);

} // namespace corvane
