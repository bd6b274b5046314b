#include "htmltotext.h"

#include <cstring>

#include "codepages.h"

namespace corvane {

namespace {

QString decodeSingleByte(const QByteArray &Page, const char16_t (&High)[128]) {
    const auto *p = reinterpret_cast<const unsigned char *>(Page.constData());
    const void *zero = std::memchr(p, 0, std::size_t(Page.size()));
    const qsizetype n = zero ? static_cast<const unsigned char *>(zero) - p : Page.size();
    QString out(n, Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < n; ++i) d[i] = p[i] < 0x80 ? char16_t(p[i]) : High[p[i] - 0x80];
    return out;
}

// The value after Key in Tag: at most 20 bytes, up to the first double quote;
// false when no double quote stands among them.
bool quotedValue(const QByteArray &Tag, qsizetype KeyEnd, QByteArray &Value) {
    const QByteArray window = Tag.mid(KeyEnd, 20);
    const qsizetype quote = window.indexOf('"');
    if (quote < 0) return false;
    Value = window.left(quote);
    return true;
}

} // namespace

TCharsetInfo DetectCharset(const QByteArray &Page) {
    TCharsetInfo info;
    QByteArray head = Page.left(1024);
    for (char &c : head)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');

    static const QByteArray Meta = QByteArrayLiteral("<META HTTP-EQUIV=\"");
    static const QByteArray CharsetKey = QByteArrayLiteral("CHARSET=");
    static const QByteArray ContentKey = QByteArrayLiteral("CONTENT=\"");
    for (;;) {
        const qsizetype at = head.indexOf(Meta);
        if (at < 0) break;
        head = head.mid(at + Meta.size() - 1); // from the quote after "HTTP-EQUIV="
        const qsizetype gt = head.indexOf('>');
        const QByteArray tag = gt < 0 ? QByteArray() : head.left(gt + 1);
        QByteArray value;
        if (const qsizetype cs = tag.indexOf(CharsetKey); cs >= 0) {
            if (!quotedValue(tag, cs + CharsetKey.size(), value)) continue;
            if (value == "WINDOWS-1251" || value == "CP1251")
                info.Charset = QStringLiteral("WINDOWS-1251");
            else if (value == "WINDOWS-1252" || value == "CP1252")
                info.Charset = QStringLiteral("WINDOWS-1252");
        } else if (const qsizetype ct = tag.indexOf(ContentKey); ct >= 0) {
            if (quotedValue(tag, ct + ContentKey.size(), value)) info.Lang = QString::fromLatin1(value);
        }
    }
    return info;
}

QString DecodePage(const QByteArray &Page, const QString &Charset) {
    if (Charset == u"WINDOWS-1251") return decodeSingleByte(Page, Windows1251High);
    if (Charset == u"WINDOWS-1252") return decodeSingleByte(Page, Windows1252High);
    return QString::fromUtf8(Page);
}

TExtractResult ExtractSignificantText(const QByteArray &Page) {
    TExtractResult result;
    const TCharsetInfo info = DetectCharset(Page);
    result.Lang = info.Lang;
    return result;
}

} // namespace corvane
