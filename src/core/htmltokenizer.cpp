#include "core/htmltokenizer.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

#include "core/codepages.h"
#include "core/textscan.h"

namespace corvane {

namespace {

// ---- character classes ------------------------------------------------------

inline bool isAsciiLetter(char16_t c) {
    return char16_t((c | 0x20) - 'a') < 26;
}
inline bool isDigit(char16_t c) {
    return char16_t(c - '0') < 10;
}
inline bool isAlnum(char16_t c) {
    return isAsciiLetter(c) || isDigit(c);
}
inline bool isSpace(char16_t c) {
    return c <= 0x20;
}
inline char16_t asciiLower(char16_t c) {
    return char16_t(c - 'A') < 26 ? char16_t(c | 0x20) : c;
}

// First occurrence of C in [From, To), or To.
inline const char16_t *find(const char16_t *From, const char16_t *To, char16_t C) {
    return From >= To ? To : textscan::findChar(From, To, C);
}

// Does [P, To) begin with the ASCII word Lower, in any case?
bool startsWithNoCase(const char16_t *P, const char16_t *To, std::string_view Lower) {
    if (To - P < qsizetype(Lower.size())) return false;
    for (std::size_t i = 0; i < Lower.size(); ++i)
        if (asciiLower(P[i]) != char16_t(Lower[i])) return false;
    return true;
}

// ---- tag names --------------------------------------------------------------

constexpr const char *TagNames[htTagCount] = {"",
#define CORVANE_HTML_TAG_NAME(Id, Name) Name,
                                              CORVANE_HTML_TAGS(CORVANE_HTML_TAG_NAME)
#undef CORVANE_HTML_TAG_NAME
};

// A name of up to 10 letters and digits packed into one number (base 37).
constexpr int MaxTagKeyLength = 10;
inline std::uint64_t keyDigit(char16_t c) {
    c = asciiLower(c);
    if (char16_t(c - 'a') < 26) return c - 'a' + 1;
    if (isDigit(c)) return c - '0' + 27;
    return 0;
}

inline std::uint32_t tagSlot(std::uint64_t Key) {
    return std::uint32_t((Key * 0x9E3779B97F4A7C15ull) >> 55);
}

// Open addressing over 512 slots, filled once.
struct TagTable {
    std::uint64_t keys[512] = {};
    THtmlTag tags[512] = {};
    TagTable() {
        for (int t = 1; t < htTagCount; ++t) {
            std::uint64_t key = 0;
            for (const char *c = TagNames[t]; *c; ++c) key = key * 37 + keyDigit(char16_t(*c));
            std::uint32_t s = tagSlot(key);
            while (keys[s]) s = (s + 1) & 511;
            keys[s] = key;
            tags[s] = THtmlTag(t);
        }
    }
};
const TagTable Tags;

THtmlTag lookupTag(std::uint64_t Key) {
    for (std::uint32_t s = tagSlot(Key); Tags.keys[s]; s = (s + 1) & 511)
        if (Tags.keys[s] == Key) return Tags.tags[s];
    return htUnknown;
}

// ---- character references ---------------------------------------------------

struct Entity {
    const char *name;
    char32_t first, second;
};
const Entity Entities[] = {
#include "core/htmlentities.inc"
};
constexpr int MaxEntityName = 32; // "CounterClockwiseContourIntegral;"
constexpr int MaxLegacyName = 6;  // the names that may stand without ";"

const std::unordered_map<std::string_view, const Entity *> &entityMap() {
    static const auto map = [] {
        std::unordered_map<std::string_view, const Entity *> m;
        m.reserve(std::size(Entities) * 2);
        for (const Entity &e : Entities) m.emplace(e.name, &e);
        return m;
    }();
    return map;
}

// The character of a numeric reference's value.
char32_t numericValue(std::uint32_t Value, bool Overflow) {
    if (Overflow || Value == 0 || Value > 0x10FFFF || (Value >= 0xD800 && Value <= 0xDFFF))
        return 0xFFFD;
    if (Value >= 0x80 && Value <= 0x9F) {
        const char16_t c = Windows1252High[Value - 0x80];
        return c == Value ? 0xFFFD : c; // the five bytes Windows-1252 leaves undefined
    }
    return Value;
}

// A reference at P ("&..."): its one or two characters and its length, or 0.
// In an attribute value, a name without ";" before "=" or a letter or digit
// is no reference (HTML5), so that query strings keep "&copy=".
int decodeReference(const char16_t *P, const char16_t *To, bool ToIsInputEnd, char32_t &First,
                    char32_t &Second, bool InAttribute = false) {
    const char16_t *q = P + 1;
    Second = 0;
    if (q < To && *q == '#') {
        ++q;
        const bool hex = q < To && (*q == 'x' || *q == 'X');
        if (hex) ++q;
        const char16_t *digits = q;
        std::uint32_t value = 0;
        bool overflow = false;
        for (; q < To; ++q) {
            unsigned d;
            if (isDigit(*q))
                d = *q - '0';
            else if (hex && char16_t((*q | 0x20) - 'a') < 6)
                d = (*q | 0x20) - 'a' + 10;
            else
                break;
            value = value * (hex ? 16 : 10) + d;
            if (value > 0x10FFFF) overflow = true, value = 0x110000;
        }
        if (q == digits) return 0;
        if (q < To && *q == ';')
            ++q;
        else if (!(q < To ? *q == ' ' : ToIsInputEnd))
            return 0;
        First = numericValue(value, overflow);
        return int(q - P);
    }
    char name[MaxEntityName + 1];
    int n = 0;
    while (q + n < To && n < MaxEntityName && isAlnum(q[n])) {
        name[n] = char(q[n]);
        ++n;
    }
    if (n == 0) return 0;
    const auto &map = entityMap();
    if (q + n < To && q[n] == ';' && n < MaxEntityName) {
        name[n] = ';';
        if (auto it = map.find(std::string_view(name, n + 1)); it != map.end()) {
            First = it->second->first;
            Second = it->second->second;
            return n + 2;
        }
    }
    for (int k = std::min(n, MaxLegacyName); k >= 2; --k) {
        if (auto it = map.find(std::string_view(name, k)); it != map.end()) {
            if (InAttribute && q + k < To && (isAlnum(q[k]) || q[k] == '=')) return 0;
            First = it->second->first;
            Second = it->second->second;
            return k + 1;
        }
    }
    return 0;
}

// ---- attributes -------------------------------------------------------------

// Reads a tag's attributes from Q (just after the tag's name) to the end of
// the tag, calling Attribute(name, value, has value) for each, and returns
// the position after the tag. Quoted values may hold ">"; an unterminated tag
// runs to End.
template <class F>
const char16_t *scanAttributes(const char16_t *Q, const char16_t *End, bool &SelfClosing,
                               F &&Attribute) {
    const char16_t *q = Q;
    for (;;) {
        while (q < End && isSpace(*q)) ++q;
        if (q >= End) break;
        if (*q == '>') {
            ++q;
            break;
        }
        if (*q == '/') {
            if (q + 1 < End && q[1] == '>') {
                SelfClosing = true;
                q += 2;
                break;
            }
            ++q;
            continue;
        }
        // An attribute: its name, then perhaps "=" and a value.
        const char16_t *name = q;
        ++q;
        while (q < End && !isSpace(*q) && *q != '/' && *q != '>' && *q != '=') ++q;
        const char16_t *nameEnd = q;
        while (q < End && isSpace(*q)) ++q;
        if (q < End && *q == '=') {
            ++q;
            while (q < End && isSpace(*q)) ++q;
            const char16_t *value = q;
            if (q < End && (*q == '"' || *q == '\'')) {
                const char16_t *close = find(q + 1, End, *q);
                value = q + 1;
                q = close == End ? End : close + 1;
                Attribute(name, nameEnd, value, close, true);
            } else { // unquoted; a final "/>" still makes the empty-element form
                while (q < End && !isSpace(*q) && *q != '>' &&
                       !(*q == '/' && q + 1 < End && q[1] == '>'))
                    ++q;
                // ...but its "/" belongs to the value, as in HTML5: <a href=/dir/>
                Attribute(name, nameEnd, value, q < End && *q == '/' ? q + 1 : q, true);
            }
        } else {
            Attribute(name, nameEnd, nameEnd, nameEnd, false);
        }
    }
    return q;
}

bool equalsNoCase(QStringView S, QLatin1StringView Lower) {
    if (S.size() != Lower.size()) return false;
    for (qsizetype i = 0; i < S.size(); ++i)
        if (asciiLower(S[i].unicode()) != char16_t(asciiLower(char16_t(Lower[i].unicode()))))
            return false;
    return true;
}

} // namespace

// ---- THtmlTokenizer ---------------------------------------------------------

THtmlTokenizer::THtmlTokenizer() {
    setInput(QString());
}

void THtmlTokenizer::setInput(const QString &Html, bool NormalizeWhitespace) {
    fInput = Html;
    fBegin = reinterpret_cast<const char16_t *>(fInput.constData());
    fPos = fBegin;
    fEnd = fBegin + fInput.size();
    fPieceStart = fBegin;
    fNormalize = NormalizeWhitespace;
    fPreDepth = 0;
    fRawTextTag = htUnknown;
    fPieceType = ptUndefined;
    fTag = htUnknown;
    fTagType = ttStartTag;
    fTagName = {};
    fAttributesFrom = nullptr;
    fAttributesRead = false;
    fTextLength = 0;
    fPreformatted = false;
}

void THtmlTokenizer::setReportedTags(std::initializer_list<THtmlTag> StartTags,
                                     std::initializer_list<THtmlTag> StartAndEndTags) {
    fReport.fill(0);
    for (THtmlTag t : StartTags) fReport[t] |= ReportStart;
    for (THtmlTag t : StartAndEndTags) fReport[t] |= ReportStart | ReportEnd;
    fReport[htUnknown] = 0;
}

void THtmlTokenizer::setReportAllTags() {
    fReport.fill(ReportStart | ReportEnd);
}

THtmlTag THtmlTokenizer::tagFromName(QStringView Name) {
    if (Name.isEmpty() || Name.size() > MaxTagKeyLength) return htUnknown;
    std::uint64_t key = 0;
    for (QChar c : Name) {
        const std::uint64_t d = keyDigit(c.unicode());
        if (!d) return htUnknown;
        key = key * 37 + d;
    }
    return lookupTag(key);
}

QLatin1StringView THtmlTokenizer::nameOfTag(THtmlTag Tag) {
    return Tag < htTagCount ? QLatin1StringView(TagNames[Tag]) : QLatin1StringView();
}

const std::vector<THtmlAttribute> &THtmlTokenizer::attributes() const {
    static const std::vector<THtmlAttribute> none;
    if (fPieceType != ptHtmlTag) return none;
    if (!fAttributesRead) {
        // The same scan that found the end of the tag, this time collecting.
        fAttributes.clear();
        bool selfClosing = false;
        scanAttributes(fAttributesFrom, fEnd, selfClosing,
                       [this](const char16_t *Name, const char16_t *NameEnd, const char16_t *Value,
                              const char16_t *ValueEnd, bool HasValue) {
                           fAttributes.push_back({QStringView(Name, NameEnd),
                                                  QStringView(Value, ValueEnd), HasValue});
                       });
        fAttributesRead = true;
    }
    return fAttributes;
}

QString THtmlTokenizer::attribute(QLatin1StringView Name) const {
    for (const THtmlAttribute &a : attributes())
        if (equalsNoCase(a.Name, Name))
            return a.HasValue ? decodeAttributeValue(a.Value) : QStringLiteral("");
    return {};
}

QString THtmlTokenizer::decodeAttributeValue(QStringView Raw) {
    const char16_t *p = Raw.utf16(), *end = p + Raw.size();
    const char16_t *amp = find(p, end, '&');
    if (amp == end) return Raw.toString();
    QString out;
    out.reserve(Raw.size());
    while (p < end) {
        out.append(QStringView(p, amp));
        if (amp == end) break;
        char32_t first, second;
        if (const int len = decodeReference(amp, end, true, first, second, true)) {
            out.append(QChar::fromUcs4(first));
            if (second) out.append(QChar::fromUcs4(second));
            p = amp + len;
        } else {
            out.append(u'&');
            p = amp + 1;
        }
        amp = find(p, end, '&');
    }
    return out;
}

QStringView THtmlTokenizer::trimmedText() const {
    const char16_t *b = fText.data(), *e = b + fTextLength;
    while (b < e && isSpace(*b)) ++b;
    while (e > b && isSpace(e[-1])) --e;
    return QStringView(b, e);
}

bool THtmlTokenizer::ParseNextPiece() {
    for (;;) {
        if (fRawTextTag != htUnknown) skipRawText();
        if (fPos >= fEnd) {
            fPieceType = ptUndefined;
            return false;
        }
        const char16_t *p = fPos;
        if (*p == '<' && p + 1 < fEnd) {
            const char16_t c = p[1];
            if (c == '!' || c == '?' || isAsciiLetter(c) ||
                (c == '/' && p + 2 < fEnd && isAsciiLetter(p[2]))) {
                if (readMarkup()) return true;
                continue;
            }
        }
        readText();
        return true;
    }
}

bool THtmlTokenizer::readMarkup() {
    const char16_t *p = fPos;
    fPieceStart = p;
    const char16_t c = p[1];
    if (c == '!') {
        if (p + 3 < fEnd && p[2] == '-' && p[3] == '-') {
            // A comment ends at the first "--" (or more hyphens) followed by
            // ">"; the opening hyphens count, so "<!-->" is an empty comment.
            const char16_t *q = p + 4;
            for (;;) {
                const char16_t *gt = find(q, fEnd, '>');
                if (gt == fEnd) {
                    fPos = fEnd;
                    break;
                }
                if (gt[-1] == '-' && gt[-2] == '-' && gt - 2 >= p + 2) {
                    fPos = gt + 1;
                    break;
                }
                q = gt + 1;
            }
            fPieceType = ptComment;
            return false;
        }
        if (startsWithNoCase(p + 2, fEnd, "[cdata[")) {
            const char16_t *q = p + 9;
            for (;;) {
                const char16_t *gt = find(q, fEnd, '>');
                if (gt == fEnd || (gt - 2 >= p + 9 && gt[-1] == ']' && gt[-2] == ']')) {
                    fPos = gt == fEnd ? fEnd : gt + 1;
                    break;
                }
                q = gt + 1;
            }
            fPieceType = ptCDataSection;
            return false;
        }
        fPieceType = startsWithNoCase(p + 2, fEnd, "doctype") ? ptDTD : ptExclamationMarkup;
        const char16_t *gt = find(p + 2, fEnd, '>');
        fPos = gt == fEnd ? fEnd : gt + 1;
        return false;
    }
    if (c == '?') {
        fPieceType = startsWithNoCase(p + 2, fEnd, "xml") ? ptXmlPI : ptHtmlPI;
        const char16_t *gt = find(p + 2, fEnd, '>');
        fPos = gt == fEnd ? fEnd : gt + 1;
        return false;
    }

    // A start or end tag.
    const bool end = c == '/';
    const char16_t *name = p + (end ? 2 : 1);
    // The name, and its key for the table of known names on the way.
    std::uint64_t key = keyDigit(*name);
    bool keyed = true; // letters and digits only
    const char16_t *q = name + 1;
    for (; q < fEnd; ++q) {
        const char16_t ch = *q;
        if (const std::uint64_t d = keyDigit(ch))
            key = key * 37 + d;
        else if (ch == '-' || ch == '_' || ch == ':' || ch == '.' || ch >= 0x80)
            keyed = false;
        else
            break;
    }
    const char16_t *nameEnd = q;
    bool selfClosing = false;
    q = scanAttributes(q, fEnd, selfClosing, [](auto...) {});
    fPos = q;
    fPieceType = ptHtmlTag;
    fTagName = QStringView(name, nameEnd);
    fAttributesFrom = nameEnd;
    fAttributesRead = false;
    fTag = keyed && nameEnd - name <= MaxTagKeyLength ? lookupTag(key) : htUnknown;
    fTagType = end ? ttEndTag : selfClosing ? ttEmptyElementTag : ttStartTag;
    if (fTagType == ttStartTag) {
        if (fTag == htScript || fTag == htStyle || fTag == htTitle)
            fRawTextTag = fTag;
        else if (fTag == htPre)
            ++fPreDepth;
    } else if (fTagType == ttEndTag && fTag == htPre && fPreDepth > 0) {
        --fPreDepth;
    }
    return fReport[fTag] & (end ? ReportEnd : ReportStart);
}

void THtmlTokenizer::skipRawText() {
    // Up to "</name" followed by whitespace, "/" or ">", in any case.
    const std::string_view name(TagNames[fRawTextTag]);
    fPieceType = fRawTextTag == htScript ? ptScript : fRawTextTag == htStyle ? ptStyle : ptTitle;
    fRawTextTag = htUnknown;
    fPieceStart = fPos;
    const char16_t *q = fPos;
    for (;;) {
        const char16_t *lt = find(q, fEnd, '<');
        if (lt == fEnd) {
            fPos = fEnd;
            return;
        }
        if (lt + 1 < fEnd && lt[1] == '/' && startsWithNoCase(lt + 2, fEnd, name)) {
            const char16_t *after = lt + 2 + name.size();
            if (after == fEnd || isSpace(*after) || *after == '/' || *after == '>') {
                fPos = lt;
                return;
            }
        }
        q = lt + 1;
    }
}

void THtmlTokenizer::readText() {
    // The piece runs up to the next "<" that starts markup, or "<%".
    const char16_t *start = fPos;
    const char16_t *q = start + 1;
    for (;;) {
        const char16_t *lt = find(q, fEnd, '<');
        if (lt == fEnd || lt + 1 == fEnd) {
            q = fEnd;
            break;
        }
        const char16_t c = lt[1];
        if (c == '!' || c == '?' || c == '%' || isAsciiLetter(c) ||
            (c == '/' && lt + 2 < fEnd && isAsciiLetter(lt[2]))) {
            q = lt;
            break;
        }
        q = lt + 1;
    }
    fPos = q;
    fPieceStart = start;
    fPieceType = ptText;
    fPreformatted = fPreDepth > 0;
    decodeText(start, q);
}

void THtmlTokenizer::decodeText(const char16_t *From, const char16_t *To) {
    // Decoded text is never longer than its source: every reference is at
    // least as long as the UTF-16 of what it stands for.
    const std::size_t need = std::size_t(To - From);
    if (fText.size() < need) fText.resize(std::max(need, fText.size() * 2));
    char16_t *d = fText.data();
    const bool fold = fNormalize && !fPreformatted;
    const bool toIsInputEnd = To == fEnd;
    char16_t *const base = d;
    // When folding, every space written stands for whitespace, and whitespace
    // right after it adds nothing.
    auto afterSpace = [&] { return d > base && d[-1] == ' '; };
    const char16_t *p = From;
    auto put = [&](char32_t c) {
        if (fold && c <= 0x20) {
            if (!afterSpace()) *d++ = ' ';
            return;
        }
        if (c > 0xFFFF) {
            *d++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            *d++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            *d++ = char16_t(c);
        }
    };
    while (p < To) {
        const char16_t *run = p;
        if (fold) {
            // Copy in bulk up to "&" or whitespace that folding changes: a
            // single space between two other characters stays as it is.
            p = textscan::findFoldStop(p, To, afterSpace());
        } else {
            p = find(p, To, '&');
        }
        if (p > run) {
            std::memcpy(d, run, std::size_t(p - run) * sizeof(char16_t));
            d += p - run;
        }
        if (p >= To) break;
        if (*p != '&') { // a run of whitespace to fold
            if (!afterSpace()) *d++ = ' ';
            while (p < To && *p <= 0x20) ++p;
            continue;
        }
        char32_t first, second;
        if (const int len = decodeReference(p, To, toIsInputEnd, first, second)) {
            put(first);
            if (second) put(second);
            p += len;
        } else {
            put('&');
            ++p;
        }
    }
    fTextLength = d - fText.data();
}

} // namespace corvane
