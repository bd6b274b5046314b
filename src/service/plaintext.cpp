#include "service/plaintext.h"

#include <array>
#include <vector>

#include "core/htmltokenizer.h"

namespace corvane {

namespace {

enum TTagRole : std::uint8_t {
    trInline,   // joins its text to its neighbours
    trBlock,    // ends a line at its start and at its end
    trCell,     // sets its text apart from the neighbouring cells
    trHidden,   // template, noscript: nothing inside is shown
    trHead,     // head: nothing inside is shown
    trHeadOnly, // may stand in the head without ending it
};

constexpr std::array<TTagRole, htTagCount> MakeRoles() {
    std::array<TTagRole, htTagCount> r{};
    for (THtmlTag t :
         {htAddress, htArticle,  htAside,      htBlockquote, htBody,      htBr,      htCaption,
          htCenter,  htDd,       htDetails,    htDialog,     htDir,       htDiv,     htDl,
          htDt,      htFieldset, htFigcaption, htFigure,     htFooter,    htForm,    htFrameset,
          htH1,      htH2,       htH3,         htH4,         htH5,        htH6,      htHeader,
          htHgroup,  htHr,       htHtml,       htLegend,     htLi,        htListing, htMain,
          htMenu,    htNav,      htOl,         htP,          htPlaintext, htPre,     htSearch,
          htSection, htSummary,  htTable,      htTbody,      htTfoot,     htThead,   htTr,
          htUl,      htXmp,      htOption,     htTextarea,   htSelect,    htIframe})
        r[t] = trBlock;
    r[htTd] = r[htTh] = trCell;
    r[htTemplate] = r[htNoscript] = trHidden;
    r[htHead] = trHead;
    for (THtmlTag t : {htTitle, htMeta, htLink, htBase, htBasefont, htBgsound, htStyle, htScript})
        r[t] = trHeadOnly;
    return r;
}
constexpr std::array<TTagRole, htTagCount> Roles = MakeRoles();

// Writes the lines straight into one buffer: a line is trimmed or taken
// back when it ends, so nothing is copied twice.
class TTextBuilder {
public:
    explicit TTextBuilder(qsizetype Capacity) : fBuf(size_t(Capacity) + 16) {}
    void Append(QStringView Text) {
        for (const char16_t *p = Text.utf16(), *end = p + Text.size(); p != end; ++p) {
            char16_t u = *p;
            if (u == 0xA0) u = u' ';
            if (u <= 0x20) {
                if (u == u'\n' || u == u'\r') { // only in pre-formatted text
                    EndLine();
                    continue;
                }
                // One space between words, none at the start of a line.
                if (fLen == fLineStart || fBuf[fLen - 1] == u' ') continue;
                u = u' ';
            }
            Put(u);
        }
    }
    void Separate() {
        if (fLen != fLineStart && fBuf[fLen - 1] != u' ') Put(u' ');
    }
    void EndLine() {
        while (fLen > fLineStart && fBuf[fLen - 1] == u' ') --fLen;
        if (fLen == fLineStart) return;
        Put(u'\n');
        fLineStart = fLen;
    }
    QString Result() {
        EndLine();
        if (fLen == 0) return QStringLiteral("1\n");
        return QString::fromUtf16(fBuf.data(), qsizetype(fLen));
    }

private:
    void Put(char16_t C) {
        if (fLen == fBuf.size()) fBuf.resize(fBuf.size() * 2);
        fBuf[fLen++] = C;
    }

    // Lines go straight into one buffer; a line is trimmed or taken back when
    // it ends, so nothing is copied twice.
    std::vector<char16_t> fBuf;
    size_t fLen = 0, fLineStart = 0;
};

} // namespace

QString HtmlToPlainText(const QString &Html) {
    THtmlTokenizer tok;
    tok.setInput(Html);
    tok.setReportAllTags();
    TTextBuilder text(Html.size());
    bool inHead = false;
    int hiddenDepth = 0;
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() == ptText) {
            if (hiddenDepth > 0) continue;
            if (inHead) {
                // Text ends a head left open, as in a browser.
                if (tok.trimmedText().isEmpty()) continue;
                inHead = false;
            }
            text.Append(tok.text());
            continue;
        }
        if (tok.pieceType() != ptHtmlTag) continue;
        const TTagRole role = Roles[tok.tag()];
        if (hiddenDepth > 0 && role != trHidden) continue;
        const bool start = tok.tagType() != ttEndTag;
        switch (role) {
        case trHead:
            inHead = start && tok.tagType() == ttStartTag;
            break;
        case trHidden:
            if (tok.tagType() == ttStartTag)
                ++hiddenDepth;
            else if (tok.tagType() == ttEndTag && hiddenDepth > 0)
                --hiddenDepth;
            break;
        case trHeadOnly:
            break;
        default:
            if (inHead && start) inHead = false; // a body element ends the head
            if (role == trBlock)
                text.EndLine();
            else if (role == trCell)
                text.Separate();
            break;
        }
    }
    return text.Result();
}

} // namespace corvane
