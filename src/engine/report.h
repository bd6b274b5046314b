// The report file: the result list's captions, its rows in the order shown,
// an empty line and the footer; ";" between fields, CR LF after every line,
// the locale's codeset. A field holding ";", a double quote or a line break
// is quoted (quotes doubled), so a URL can never shift the columns.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "engine/typeslib.h"

namespace corvane {

inline constexpr const char *DefaultReportName = "unique-report.csv";

// The five column captions of the result list, translated; with Extra, the
// site analysis's six after them (group, representative, template share,
// words, canonical link, noindex).
QStringList ReportCaptions(bool Extra = false);
// The cells of a task's row as the result list shows them.
QStringList ReportFields(const TURLTaskInfo &Task, bool Extra = false);
// The footer line, translated.
QString ReportFooter();
QString QuoteReportField(const QString &Field);

// The whole report as text (lines joined with CR LF) and as bytes.
QString ReportText(const QList<const TURLTaskInfo *> &Rows, bool Extra = false);
QByteArray ReportBytes(const QList<const TURLTaskInfo *> &Rows, bool Extra = false);

// Creates (or replaces) the file and writes the report; on failure returns
// false with the translated message "Невозможно создать файл экспорта!".
bool WriteReport(const QString &Path, const QList<const TURLTaskInfo *> &Rows, QString &Error,
                 bool Extra = false);

} // namespace corvane
