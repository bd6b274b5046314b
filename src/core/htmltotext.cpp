#include "htmltotext.h"

#include <cstring>

#include "codepages.h"
#include "htmltokenizer.h"

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

namespace {

QStringView trimControls(QStringView S) {
    qsizetype b = 0, e = S.size();
    while (b < e && S[b].unicode() <= 0x20) ++b;
    while (e > b && S[e - 1].unicode() <= 0x20) --e;
    return S.sliced(b, e - b);
}

bool isWordSeparator(char16_t C) {
    switch (C) {
    case ',': case ':': case ';': case '&': case '~': case '@': case '$': case '^': case '*': case '+':
    case '|': case '/': case '\\': case '(': case ')': case '[': case ']': case '{': case '}': case '-':
    case ' ':
        return true;
    default:
        return false;
    }
}

// Parts between separators, other than "..." (and "/", which cannot occur).
int countWords(QStringView Line) {
    int words = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= Line.size(); ++i) {
        if (i < Line.size() && !isWordSeparator(Line[i].unicode())) continue;
        const QStringView part = Line.sliced(start, i - start);
        if (!part.isEmpty() && part != u"..." && part != u"/") ++words;
        start = i + 1;
    }
    return words;
}

void appendLine(QString &Output, QStringView Line) {
    if (!Output.isEmpty()) Output += u"\r\n";
    Output += Line;
}

// Keeps the lines of a finished paragraph-like element that hold at least
// five words. A blank buffer is left as it is.
void lineFilter(QString &Buffer, QString &Output) {
    const QStringView trimmed = trimControls(Buffer);
    if (trimmed.isEmpty()) return;
    QString text;
    text.reserve(trimmed.size());
    for (QChar c : trimmed) {
        if (c.unicode() == 0xA0) c = u' ';
        if (c == u' ' && !text.isEmpty() && text.back() == u' ') continue;
        text += c;
    }
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text[i] != u'\r' && text[i] != u'\n') continue;
        const QStringView line = trimControls(QStringView(text).sliced(start, i - start));
        if (countWords(line) >= 5) appendLine(Output, line);
        if (i + 1 < n && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    Buffer.clear();
}

bool isBlankPiece(QStringView Text) {
    for (QChar c : Text)
        if (c.unicode() > 0x20 && c.unicode() != 0xA0) return false;
    return true;
}

} // namespace

TExtractResult ExtractSignificantText(const QByteArray &Page) {
    TExtractResult result;
    const TCharsetInfo info = DetectCharset(Page);
    result.Lang = info.Lang;

    THtmlTokenizer tok;
    tok.setInput(DecodePage(Page, info.Charset), true);
    tok.setReportedTags({htBr, htHr}, {htH1, htH2, htH3, htH4, htH5, htH6, htP, htPre, htLi});

    // What has to stand before the next piece of text.
    enum { sepNone, sepText, sepBlank, sepBreak, sepParagraph, sepHeading };
    QString &output = result.Text;
    QString buffer;
    int sep = sepNone;
    bool inside = false;
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() == ptHtmlTag) {
            const THtmlTag tag = tok.tag();
            const bool start = tok.tagType() == ttStartTag;
            if (tag == htBr) {
                if (sep == sepText || sep == sepBlank) sep = sepBreak;
            } else if (tag >= htH1 && tag <= htH6) {
                if (sep == sepText || sep == sepBlank || sep == sepBreak) sep = sepHeading;
                inside = start;
                if (!start) {
                    const QStringView heading = trimControls(buffer);
                    if (!heading.isEmpty()) appendLine(output, heading);
                    buffer.clear();
                }
            } else { // p, li, pre, hr
                if (sep == sepText || sep == sepBlank || sep == sepBreak) sep = sepParagraph;
                inside = start;
                if (!start) lineFilter(buffer, output);
            }
            continue;
        }
        const QStringView piece = tok.text();
        if (piece.isEmpty()) continue;
        if (isBlankPiece(piece)) {
            if (sep == sepText && inside) buffer += piece;
            continue;
        }
        bool lineBreakDue = false;
        if (sep == sepText || sep == sepBlank) buffer += u' ';
        else if (sep != sepNone) lineBreakDue = true;
        const bool pre = tok.isPreformatted();
        const QStringView text = pre ? piece : tok.trimmedText();
        sep = pre || piece.back().unicode() > 0x20 ? sepText : sepBlank;
        if (!text.isEmpty() && inside) {
            buffer += lineBreakDue ? QStringView(u"\r\n") : QStringView(u" ");
            buffer += text;
        }
    }
    output += buffer;
    output.replace(QStringLiteral(" ."), QStringLiteral("."));
    output.replace(QStringLiteral(" !"), QStringLiteral("!"));
    output.replace(QStringLiteral(" ?"), QStringLiteral("?"));
    return result;
}

} // namespace corvane
