// Filling the task list: the URL filter, the duplicate test, the limit, and
// the four sources (clipboard text, text file, sitemap, local files). No
// dialogs here: the window and corvane-cli show the outcome's message.
#pragma once

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include "engine/typeslib.h"

namespace corvane {

inline constexpr std::int32_t MaxURLCount = 10000;
// corvane-cli check --max-urls goes up to this.
inline constexpr std::int32_t MaxCliURLCount = 1000000;

// Limits of the sitemap reader; a file beyond them is reported as a parse error.
// Entity declarations are refused outright. Besides, the characters the parser
// hands out (text, and in a file with a DTD the attributes too) may not exceed
// SitemapTextPerByte per byte of the file plus SitemapTextSlack: written-out
// text yields at most one character per byte in every encoding but a few
// legacy ones, so only text repeated from a declaration (a default attribute
// value copied into every element) gets near it, and the work of reading a
// file stays linear in its size.
inline constexpr qint64 MaxSitemapBytes = qint64(64) * 1024 * 1024;
inline constexpr int MaxSitemapDepth = 64;
inline constexpr qsizetype MaxLocLength = 64 * 1024;
inline constexpr qint64 SitemapTextPerByte = 4;
inline constexpr qint64 SitemapTextSlack = 1024 * 1024;

// True when the candidate is not taken: empty, not starting with "http" in
// any letter case, ending in one of the image, script and style endings, or
// holding a NUL character (libcurl would cut the address there and fetch
// another page than the one listed).
bool IsIgnoredURL(const QString &s);

// One import into a list: keeps the old tasks (dropping every result) or
// frees them, then takes candidates one at a time. The duplicate test uses a
// hash set of the list's URLs, so an import does not compare every pair.
class TURLImport {
public:
    // Limit: the most tasks the list may hold (the window's 10 000; corvane-cli
    // may go further).
    TURLImport(TURLTaskInfoList &List, bool KeepOld, std::int32_t Limit = MaxURLCount);

    enum TAddOutcome { aoAdded, aoIgnored, aoDuplicate, aoLimit };
    // Filter: pass the candidate through IsIgnoredURL (not for local files).
    TAddOutcome Add(const QString &Candidate, bool Filter = true);
    bool LimitReached() const { return FLimitReached; }
    std::int32_t AddedCount() const { return FAdded; }
    // Candidates that passed the filter, duplicates included.
    std::int32_t PassedCount() const { return FPassed; }

private:
    TURLTaskInfoList &FList;
    QSet<QString> FKeys;
    std::int32_t FCounter = 0;
    std::int32_t FAdded = 0;
    std::int32_t FPassed = 0;
    bool FLimitReached = false;
    std::int32_t FLimit;
};

enum TImportStatus {
    isOk,
    isNotFound,   // text file missing: list untouched
    isReadError,  // text file unreadable: list already cleared or results dropped
    isParseError, // sitemap does not parse: list untouched
    isNoUrlset,   // sitemap without "urlset": list cleared or results dropped
};

struct TImportOutcome {
    TImportStatus Status = isOk;
    // The message box text for a failure, translated; empty on success.
    QString Message;
    // The log line of a finished import, translated; empty when none is due.
    QString LogLine;
    // An information for the user, translated: a text file or sitemap that
    // held no address passing the filter. Empty otherwise.
    QString Notice;
    std::int32_t Added = 0;
    bool LimitReached = false;
};

// "Ограничение: не более 10 000 URL", translated.
QString URLLimitMessage();

// Clipboard text: lines at CR LF, LF or CR, each trimmed of codes up to 32.
QStringList ClipboardCandidates(const QString &Text);
// Text file contents: lines at CR LF, LF or CR, not trimmed. The locale's
// codeset, or UTF-16 (either byte order) after its byte-order mark; a UTF-8
// byte-order mark is not part of the first line. A line longer than 1 Mi
// characters cannot be an address and is passed over.
QStringList TextFileCandidates(const QByteArray &Bytes);

TImportOutcome ImportClipboardText(TURLTaskInfoList &List, const QString &Text, bool KeepOld);
TImportOutcome ImportTextFile(TURLTaskInfoList &List, const QString &Path, bool KeepOld,
                              std::int32_t Limit = MaxURLCount);
// Progress: (position, maximum) with maximum the number of "urlset" children.
TImportOutcome ImportSitemap(TURLTaskInfoList &List, const QString &Path, bool KeepOld,
                             const std::function<void(int, int)> &Progress = {},
                             std::int32_t Limit = MaxURLCount);
TImportOutcome ImportLocalFiles(TURLTaskInfoList &List, const QStringList &Paths, bool KeepOld,
                                std::int32_t Limit = MaxURLCount);

// The sitemap reader on its own: checks the document, then hands each "url"
// entry's candidate (empty when its "loc" has no single text) to Candidate,
// which returns false to stop. Returns isOk, isParseError (ErrorText set to
// the parser's message) or isNoUrlset. ChildCount: the "urlset" children.
// With IsIndex, a sitemap index ("sitemapindex" of "sitemap" entries) is read
// too, its entries' "loc" handed to Candidate; *IsIndex says which it was,
// set before the first candidate.
TImportStatus ReadSitemap(const QByteArray &Xml,
                          const std::function<bool(const QString &)> &Candidate, QString &ErrorText,
                          int *ChildCount = nullptr, bool *IsIndex = nullptr);

} // namespace corvane
