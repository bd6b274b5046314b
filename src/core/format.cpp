#include "core/format.h"

#include <charconv>

#include <QLocale>

#include "core/i18n.h"

namespace corvane {

QString FixedText(double Value, int Width, int Precision) {
    char buf[640];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, Precision).ptr;
    QString s = QString::fromLatin1(buf, end - buf);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String(".")) s.replace(u'.', point);
    if (s.size() < Width) s.prepend(QString(Width - s.size(), u' '));
    return s;
}

QString PercentText(double Value) {
    return FixedText(Value, 3, 2);
}

QString TFormatArg::Text(char16_t Conversion, int Precision) const {
    switch (FKind) {
    case akInt:
        return Conversion == u'f' ? FixedText(double(FInt), 0, Precision) : QString::number(FInt);
    case akDouble:
        return Conversion == u'd' ? QString::number(qint64(FDouble))
                                  : FixedText(FDouble, 0, Precision);
    case akString:
        break;
    }
    return FString;
}

QString FormatText(const QString &Format, std::span<const TFormatArg> Args) {
    QString out;
    out.reserve(Format.size() + 32);
    auto arg = Args.begin();
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
        // %[width][.precision](d|s|f); anything else stays as written.
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
        const char16_t c = j < n ? Format[j].unicode() : 0;
        if ((c == u'd' || c == u's' || c == u'f') && arg != Args.end()) {
            const QString text = (arg++)->Text(c, precision);
            if (text.size() < width) out += QString(width - text.size(), u' ');
            out += text;
            i = j;
        } else {
            out += Format[i];
        }
    }
    return out;
}

QString FormatMsg(const char *MsgId, std::span<const TFormatArg> Args) {
    return FormatText(_(MsgId), Args);
}

QString FormatMsg(const char *MsgId, std::initializer_list<TFormatArg> Args) {
    return FormatText(_(MsgId), std::span<const TFormatArg>(Args.begin(), Args.size()));
}

} // namespace corvane
