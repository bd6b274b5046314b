// The one formatter of the program: a format (usually a translated message
// id) filled with its arguments in order. "%d" takes an integer, "%s" a
// string, "%W.Pf" a number in fixed notation with the decimal separator of the
// user's regional settings, "%%" is a percent sign. A conversion without an
// argument, or one the formatter does not know, stays as written, and an
// argument of another kind than its conversion is written as its own text:
// a wrong format from a catalog shows itself and never crashes the program.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include <QString>

namespace corvane {

class TFormatArg {
public:
    TFormatArg(int V) : FKind(akInt), FInt(V) {}
    TFormatArg(long V) : FKind(akInt), FInt(V) {}
    TFormatArg(long long V) : FKind(akInt), FInt(V) {}
    TFormatArg(unsigned V) : FKind(akInt), FInt(V) {}
    TFormatArg(double V) : FKind(akDouble), FDouble(V) {}
    TFormatArg(const QString &V) : FKind(akString), FString(V) {}
    TFormatArg(const char *Utf8) : FKind(akString), FString(QString::fromUtf8(Utf8)) {}

    // The argument for a conversion letter ('d', 's' or 'f', with the
    // precision of an 'f').
    QString Text(char16_t Conversion, int Precision) const;

private:
    enum TKind { akInt, akDouble, akString } FKind;
    std::int64_t FInt = 0;
    double FDouble = 0;
    QString FString;
};

QString FormatText(const QString &Format, std::span<const TFormatArg> Args);
inline QString FormatText(const QString &Format, std::initializer_list<TFormatArg> Args) {
    return FormatText(Format, std::span<const TFormatArg>(Args.begin(), Args.size()));
}

// The message id translated (the translation call), then filled.
QString FormatMsg(const char *MsgId, std::initializer_list<TFormatArg> Args = {});
QString FormatMsg(const char *MsgId, std::span<const TFormatArg> Args);

// Value in fixed notation, Precision decimals, right-aligned to Width, with
// the regional decimal separator. The digits are those printf gives in the
// "C" locale; the separator comes from Qt's locale, since the C library's may
// be several bytes of another encoding.
QString FixedText(double Value, int Width, int Precision);

// A percentage as the lists, the windows and the report show it: "%3.2f".
QString PercentText(double Value);

} // namespace corvane
