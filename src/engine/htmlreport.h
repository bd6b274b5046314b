// The HTML report: one self-contained file that a site owner can send on and
// open offline in any current browser. A summary of the check with its
// charts, the duplicate groups still to fix, every page in a sortable and
// filterable table, and per page its most similar pages and the text it
// shares with the pages of its group. Its style sheet and script are inline
// and the only ones allowed to apply (a content security policy names them by
// hash); every text of a page is escaped, and only http(s) addresses become
// links, so a hostile page can neither run anything nor change the layout.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include "engine/runcontroller.h"
#include "engine/siteanalysis.h"
#include "engine/typeslib.h"

namespace corvane {

inline constexpr const char *DefaultHtmlReportName = "unique-report.html";

// Rows of the table of every page per tbody: the browser skips the parts off
// screen (the style sheet estimates a part's height from this number).
inline constexpr int HtmlRowsPerPart = 250;
// How many similar pages each page's details list.
inline constexpr int HtmlSimilarCount = 5;
// Characters of shared text shown for one pair of pages, and for the whole
// report: ten thousand pages in groups would otherwise make a file of
// hundreds of megabytes.
inline constexpr qsizetype HtmlPairTextLimit = 600;
inline constexpr qsizetype HtmlSharedTextBudget = 2'000'000;

struct THtmlReport {
    // The checked list: the groups' positions and the similar pages' numbers
    // refer to it.
    const TURLTaskInfoList *List = nullptr;
    // The rows of the table of all pages, in the order shown.
    QList<const TURLTaskInfo *> Rows;
    // The check's site analysis; its groups are left out when null or when
    // the list has changed since.
    const TSiteAnalysis *Analysis = nullptr;
    // The settings the check ran with (the analysis's own are read from it).
    TRunSettings Settings;
    QDateTime Date;
    // Each URL's uniqueness in an earlier check (by URLKey), shown in a
    // column of its own beside today's; none: no such column.
    const QHash<QString, double> *Before = nullptr;
};

// The whole file, UTF-8, texts in the current catalog language.
QByteArray HtmlReportBytes(const THtmlReport &Report);

// Creates (or replaces) the file and writes the report; on failure returns
// false with the translated message "Невозможно создать файл экспорта!".
bool WriteHtmlReport(const QString &Path, const THtmlReport &Report, QString &Error);

// Text made safe for HTML content and for quoted attribute values; control
// characters that HTML does not allow become U+FFFD.
QString HtmlEscaped(QStringView Text);

// Whether the address may become a link of the report: an absolute, valid
// http or https URL.
bool IsReportLink(const QString &URL);

} // namespace corvane
