#include "core/htmltotext.h"

#include <cstring>
#include <string_view>

#include "core/codepages.h"
#include "core/htmltokenizer.h"
#include "core/textscan.h"

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
            if (quotedValue(tag, ct + ContentKey.size(), value))
                info.Lang = QString::fromLatin1(value);
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

// The 21 characters that separate words: ,:;&~@$^*+|/\()[]{}- and space.
struct WordSeparators {
    bool is[128] = {};
    constexpr WordSeparators() {
        for (char c : std::string_view(",:;&~@$^*+|/\\()[]{}- ")) is[int(c)] = true;
    }
};
constexpr WordSeparators Separators;

// Parts of [P, End) between separators, other than "..." (and "/", which
// cannot occur), counted up to Enough. The line filter has turned U+00A0 into
// a space, so it separates too.
int countWords(const char16_t *P, const char16_t *End, int Enough) {
    int words = 0;
    const char16_t *part = P;
    for (;; ++P) {
        if (P < End && (*P >= 128 ? *P != 0xA0 : !Separators.is[*P])) continue;
        const qsizetype n = P - part;
        if (n > 0 && !(n == 3 && part[0] == '.' && part[1] == '.' && part[2] == '.') &&
            ++words == Enough)
            break;
        if (P == End) break;
        part = P + 1;
    }
    return words;
}

// Appends [B, E) to Output. Every space that would stand right before ".",
// "!" or "?" is dropped, as the final replacements " ." -> ".", " !" -> "!"
// and " ?" -> "?" of the whole text would do (each is one left-to-right
// pass, and no pass makes or breaks a pair for another, so together they drop
// exactly the spaces written right before a mark). With Clean, no-break
// spaces become spaces and runs of spaces become one first.
void appendText(QString &Output, const char16_t *B, const char16_t *E, bool Clean) {
    const qsizetype old = Output.size();
    Output.resize(old + (E - B));
    char16_t *const begin = reinterpret_cast<char16_t *>(Output.data());
    char16_t *d = begin + old;
    for (const char16_t *const start = B; B < E; ++B) {
        if (B > start) { // copy in bulk up to the next character to look at
            const char16_t *stop = textscan::findCleanStop(B, E, Clean);
            std::memcpy(d, B, std::size_t(stop - B) * sizeof(char16_t));
            d += stop - B;
            B = stop;
            if (B == E) break;
        }
        char16_t c = *B;
        if (Clean && (c == ' ' || c == 0xA0)) { // a run of blanks becomes one space
            while (B + 1 < E && (B[1] == ' ' || B[1] == 0xA0)) ++B;
            if (d > begin && d[-1] == ' ') continue;
            c = ' ';
        } else if ((c == '.' || c == '!' || c == '?') && d > begin && d[-1] == ' ') {
            --d;
        }
        *d++ = c;
    }
    Output.truncate(d - begin);
}

// A heading or a kept line, after a line break unless it comes first.
void appendLine(QString &Output, const char16_t *B, const char16_t *E, bool Clean) {
    if (!Output.isEmpty()) Output += u"\r\n";
    appendText(Output, B, E, Clean);
}

inline bool isLineBlank(char16_t C) {
    return C <= 0x20 || C == 0xA0;
}

// Keeps the lines of a finished paragraph-like element that hold at least
// five words, with no-break spaces turned into spaces and runs of spaces into
// one. A blank buffer is left as it is. (Runs of spaces never span a line
// break, so the lines can be cut first and cleaned one by one.)
void lineFilter(QString &Buffer, QString &Output) {
    const QStringView trimmed = trimControls(Buffer);
    if (trimmed.isEmpty()) return;
    const char16_t *p = trimmed.utf16(), *const end = p + trimmed.size();
    for (;;) {
        const char16_t *b = p;
        p = textscan::findEither(p, end, '\r', '\n');
        const char16_t *e = p;
        while (b < e && isLineBlank(*b)) ++b;
        while (e > b && isLineBlank(e[-1])) --e;
        if (b < e && countWords(b, e, 5) == 5) appendLine(Output, b, e, true);
        if (p == end) break;
        if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
        ++p;
    }
    Buffer.truncate(0);
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
                    if (!heading.isEmpty())
                        appendLine(output, heading.utf16(), heading.utf16() + heading.size(),
                                   false);
                    buffer.truncate(0);
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
        const bool spaceFirst = sep == sepText || sep == sepBlank; // even when nothing is collected
        const bool lineBreakDue = sep >= sepBreak;
        const bool pre = tok.isPreformatted();
        const QStringView text = pre ? piece : tok.trimmedText();
        sep = pre || piece.back().unicode() > 0x20 ? sepText : sepBlank;
        const bool collect = !text.isEmpty() && inside;
        // One resize for the space, the line break or space, and the text.
        const qsizetype old = buffer.size();
        const qsizetype add = spaceFirst + (collect ? (lineBreakDue ? 2 : 1) + text.size() : 0);
        if (add == 0) continue;
        buffer.resize(old + add);
        char16_t *d = reinterpret_cast<char16_t *>(buffer.data()) + old;
        if (spaceFirst) *d++ = ' ';
        if (collect) {
            if (lineBreakDue)
                *d++ = '\r', *d++ = '\n';
            else
                *d++ = ' ';
            std::memcpy(d, text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
        }
    }
    const char16_t *rest = reinterpret_cast<const char16_t *>(buffer.constData());
    appendText(output, rest, rest + buffer.size(), false);
    return result;
}

} // namespace corvane
