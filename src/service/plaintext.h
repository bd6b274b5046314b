// The conversion of the plain-text service: an HTML page to its visible text.
#pragma once

#include <QString>

namespace corvane {

// The whole visible text of Html, one line per line of text: head, script,
// style, template and noscript contents left out; block elements end a line,
// table cells are set apart by a space, inline elements join without adding
// spaces; character references decoded; every line trimmed, empty lines
// dropped, each line followed by LF. A page without text gives "1\n".
QString HtmlToPlainText(const QString &Html);

} // namespace corvane
