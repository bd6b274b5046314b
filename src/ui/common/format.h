// Numbers as the windows show them.
#pragma once

#include <QString>

namespace corvane::ui {

// The message id translated, then its conversions filled in: "%W.Pf" takes
// Value with the decimal separator of the user's regional settings, "%%" is
// a percent sign. "Тексты схожи на: %3.2f%%" and 57.1428 give
// "Тексты схожи на: 57.14%" (or 57,14%).
QString FormatMessage(const char *MsgId, double Value);

// Value as "%3.2f" with the regional decimal separator (no percent sign).
QString FormatPercentValue(double Value);

// Fills in an already translated format.
QString FormatFloat(const QString &Format, double Value);

} // namespace corvane::ui
