#include "format.h"

#include <charconv>

#include <QLocale>

#include "core/i18n.h"

namespace corvane::ui {

namespace {

QString fixed(double value, int width, int precision) {
    // The digits as printf rounds them in the "C" locale (corvane-cli prints
    // the same values), the separator from the regional settings through Qt:
    // the C library's own separator may be several bytes of another encoding.
    char buf[640];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision).ptr;
    QString s = QString::fromLatin1(buf, end - buf);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String(".")) s.replace(u'.', point);
    if (s.size() < width) s.prepend(QString(width - s.size(), u' '));
    return s;
}

} // namespace

QString FormatFloat(const QString &Format, double Value) {
    QString out;
    const qsizetype n = Format.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (Format[i] != u'%' || i + 1 >= n) {
            out += Format[i];
            continue;
        }
        if (Format[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        // %[width][.precision]f; anything else stays as written.
        qsizetype j = i + 1;
        int width = 0, precision = 6;
        while (j < n && Format[j].isDigit() && width < 100)
            width = width * 10 + Format[j++].digitValue();
        if (j < n && Format[j] == u'.') {
            precision = 0;
            ++j;
            while (j < n && Format[j].isDigit() && precision < 20)
                precision = precision * 10 + Format[j++].digitValue();
        }
        if (j < n && Format[j] == u'f') {
            out += fixed(Value, width, precision);
            i = j;
        } else {
            out += Format[i];
        }
    }
    return out;
}

QString FormatMessage(const char *MsgId, double Value) {
    return FormatFloat(_(MsgId), Value);
}

QString FormatPercentValue(double Value) {
    return fixed(Value, 3, 2);
}

} // namespace corvane::ui
