// THtmlTokenizer: cuts an HTML page into pieces -- tags, text and the other
// kinds of markup -- in the order in which they stand. It builds no tree and
// repairs nothing; it runs in time linear in the input, whatever the input.
//
// Typical use:
//
//     THtmlTokenizer tok;
//     tok.setInput(page);                                   // page: QString
//     tok.setReportedTags({htBr, htHr}, {htP, htLi});       // or setReportAllTags(true)
//     while (tok.ParseNextPiece()) {
//         if (tok.pieceType() == ptText) use(tok.text());   // decoded, whitespace folded
//         else if (tok.tag() == htP && tok.tagType() == ttEndTag) ...;
//     }
//
// Only text pieces and the chosen tags are reported; comments, declarations,
// CDATA sections, processing instructions, unchosen tags and the contents of
// script, style and title elements are read and passed over.
//
// Text pieces: every piece of markup (reported or not) ends the text before it,
// so 'wo<b>rd</b>' gives the pieces "wo" and "rd". A "<" starts markup only
// when followed by "!", "?", an ASCII letter, or "/" and an ASCII letter;
// any other "<" is text ("x < y" is one piece). Character references are
// decoded: the HTML5 named references (longest match, the legacy names also
// without ";"), and "&#N" / "&#xH" when followed by ";" (consumed), a space or
// the end of the input, 128..159 read as Windows-1252. With whitespace
// normalisation on, each run of characters U+0000..U+0020 (including those
// that references produce) becomes one space, except inside pre elements;
// U+00A0 is not whitespace.
//
// Attributes: text pieces never include them. For the current tag,
// attributes() lists them as written and attribute() gives one value with its
// references decoded (see decodeAttributeValue); both read the tag again only
// when asked, so callers that never ask pay nothing.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

namespace corvane {

enum TPieceType {
    ptUndefined,
    ptASP,
    ptCDataSection,
    ptComment,
    ptCustomTag,
    ptDTD,
    ptExclamationMarkup,
    ptHtmlPI,
    ptHtmlTag,
    ptPHP,
    ptScript,
    ptSsiTag,
    ptStyle,
    ptText,
    ptTitle,
    ptXmlPI
};

// ttEmptyElementTag: a start tag written with "/>", such as <br/>.
enum TTagType { ttStartTag, ttEndTag, ttEmptyElementTag };

// An attribute as written in its tag: the value without its quotes, character
// references not decoded; HasValue is false for a bare name such as "checked".
// An unquoted value keeps a "/" that ends the tag, as in HTML5: the href of
// <a href=/dir/> is "/dir/" (the tag type is still ttEmptyElementTag).
struct THtmlAttribute {
    QStringView Name;
    QStringView Value;
    bool HasValue = false;
};

// The known HTML 4 and HTML5 element names, matched case-insensitively.
// clang-format off
#define CORVANE_HTML_TAGS(X)                                                                                         \
    X(A, "a") X(Abbr, "abbr") X(Acronym, "acronym") X(Address, "address") X(Applet, "applet") X(Area, "area")       \
    X(Article, "article") X(Aside, "aside") X(Audio, "audio") X(B, "b") X(Base, "base") X(Basefont, "basefont")     \
    X(Bdi, "bdi") X(Bdo, "bdo") X(Bgsound, "bgsound") X(Big, "big") X(Blink, "blink") X(Blockquote, "blockquote")   \
    X(Body, "body") X(Br, "br") X(Button, "button") X(Canvas, "canvas") X(Caption, "caption") X(Center, "center")   \
    X(Cite, "cite") X(Code, "code") X(Col, "col") X(Colgroup, "colgroup") X(Data, "data") X(Datalist, "datalist")   \
    X(Dd, "dd") X(Del, "del") X(Details, "details") X(Dfn, "dfn") X(Dialog, "dialog") X(Dir, "dir") X(Div, "div")   \
    X(Dl, "dl") X(Dt, "dt") X(Em, "em") X(Embed, "embed") X(Fieldset, "fieldset") X(Figcaption, "figcaption")       \
    X(Figure, "figure") X(Font, "font") X(Footer, "footer") X(Form, "form") X(Frame, "frame")                       \
    X(Frameset, "frameset") X(H1, "h1") X(H2, "h2") X(H3, "h3") X(H4, "h4") X(H5, "h5") X(H6, "h6")                 \
    X(Head, "head") X(Header, "header") X(Hgroup, "hgroup") X(Hr, "hr") X(Html, "html") X(I, "i")                  \
    X(Iframe, "iframe") X(Img, "img") X(Input, "input") X(Ins, "ins") X(Isindex, "isindex") X(Kbd, "kbd")           \
    X(Keygen, "keygen") X(Label, "label") X(Legend, "legend") X(Li, "li") X(Link, "link") X(Listing, "listing")     \
    X(Main, "main") X(Map, "map") X(Mark, "mark") X(Marquee, "marquee") X(Math, "math") X(Menu, "menu")             \
    X(Menuitem, "menuitem") X(Meta, "meta") X(Meter, "meter") X(Nav, "nav") X(Nobr, "nobr") X(Noembed, "noembed")  \
    X(Noframes, "noframes") X(Noscript, "noscript") X(Object, "object") X(Ol, "ol") X(Optgroup, "optgroup")         \
    X(Option, "option") X(Output, "output") X(P, "p") X(Param, "param") X(Picture, "picture")                       \
    X(Plaintext, "plaintext") X(Pre, "pre") X(Progress, "progress") X(Q, "q") X(Rb, "rb") X(Rp, "rp") X(Rt, "rt")   \
    X(Rtc, "rtc") X(Ruby, "ruby") X(S, "s") X(Samp, "samp") X(Script, "script") X(Search, "search")                 \
    X(Section, "section") X(Select, "select") X(Slot, "slot") X(Small, "small") X(Source, "source")                 \
    X(Span, "span") X(Strike, "strike") X(Strong, "strong") X(Style, "style") X(Sub, "sub") X(Summary, "summary")   \
    X(Sup, "sup") X(Svg, "svg") X(Table, "table") X(Tbody, "tbody") X(Td, "td") X(Template, "template")             \
    X(Textarea, "textarea") X(Tfoot, "tfoot") X(Th, "th") X(Thead, "thead") X(Time, "time") X(Title, "title")       \
    X(Tr, "tr") X(Track, "track") X(Tt, "tt") X(U, "u") X(Ul, "ul") X(Var, "var") X(Video, "video") X(Wbr, "wbr")   \
    X(Xmp, "xmp")
// clang-format on

// A tag's identity: htUnknown for a name outside the list.
enum THtmlTag : std::uint8_t {
    htUnknown,
#define CORVANE_HTML_TAG_ENUM(Id, Name) ht##Id,
    CORVANE_HTML_TAGS(CORVANE_HTML_TAG_ENUM)
#undef CORVANE_HTML_TAG_ENUM
        htTagCount
};

class THtmlTokenizer {
public:
    THtmlTokenizer();

    // Starts over on Html (the string is shared, not copied). With
    // NormalizeWhitespace off, text keeps its whitespace everywhere.
    void setInput(const QString &Html, bool NormalizeWhitespace = true);

    // Which tags are reported: the start tags (the "/>" form included) of
    // StartTags, and the start and end tags of StartAndEndTags. Replaces any
    // earlier choice. Nothing but text is reported until this is called.
    void setReportedTags(std::initializer_list<THtmlTag> StartTags,
                         std::initializer_list<THtmlTag> StartAndEndTags);
    // Report every start and end tag, unknown names included.
    void setReportAllTags();

    // Reads up to the next reported piece: true when there is one, false at
    // the end of the input.
    bool ParseNextPiece();

    // The current piece: ptText or ptHtmlTag.
    TPieceType pieceType() const { return fPieceType; }

    // For a tag: its identity, its type and its name as written.
    THtmlTag tag() const { return fTag; }
    TTagType tagType() const { return fTagType; }
    QStringView tagName() const { return fTagName; }

    // For a tag: its attributes in the order written (a repeated name too).
    const std::vector<THtmlAttribute> &attributes() const;
    // The decoded value of the tag's first attribute called Name (ASCII letter
    // case ignored); a null string when there is none, an empty one for a bare name.
    QString attribute(QLatin1StringView Name) const;

    // An attribute value with its character references decoded by the text
    // rules, whitespace kept, and one exception that keeps query strings
    // whole: a named reference without ";" that "=" or a letter or digit
    // follows stays as written ("?a=1&copy=2" keeps "&copy").
    static QString decodeAttributeValue(QStringView Raw);

    // For a text piece: its characters (references decoded, whitespace folded
    // unless pre-formatted); the same with U+0000..U+0020 trimmed from both
    // ends; whether it stands inside a pre element.
    QStringView text() const { return QStringView(fText.data(), fTextLength); }
    QStringView trimmedText() const;
    bool isPreformatted() const { return fPreformatted; }

    // Where the current piece starts in the input, in UTF-16 units.
    qsizetype piecePosition() const { return fPieceStart - fBegin; }

    static THtmlTag tagFromName(QStringView Name);
    static QLatin1StringView nameOfTag(THtmlTag Tag);

private:
    enum : std::uint8_t { ReportStart = 1, ReportEnd = 2 };

    bool readMarkup();  // at "<" that starts markup; true when reported
    void readText();    // from fPos up to the next markup
    void skipRawText(); // the contents of script, style or title
    void decodeText(const char16_t *From, const char16_t *To);

    QString fInput;
    const char16_t *fBegin = nullptr;
    const char16_t *fPos = nullptr;
    const char16_t *fEnd = nullptr;
    const char16_t *fPieceStart = nullptr;
    bool fNormalize = true;
    int fPreDepth = 0;
    THtmlTag fRawTextTag = htUnknown; // script, style or title whose contents come next
    std::array<std::uint8_t, htTagCount> fReport{};

    TPieceType fPieceType = ptUndefined;
    THtmlTag fTag = htUnknown;
    TTagType fTagType = ttStartTag;
    QStringView fTagName;
    const char16_t *fAttributesFrom = nullptr; // the current tag, after its name
    mutable std::vector<THtmlAttribute> fAttributes;
    mutable bool fAttributesRead = false;
    std::vector<char16_t> fText;
    qsizetype fTextLength = 0;
    bool fPreformatted = false;
};

} // namespace corvane
