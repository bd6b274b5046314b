#include "service/plaintext.h"

#include <array>

#include "core/htmltokenizer.h"

namespace corvane {

namespace {

enum TTagRole : std::uint8_t {
    trInline,    // joins its text to its neighbours
    trBlock,     // ends a line at its start and at its end
    trCell,      // sets its text apart from the neighbouring cells
    trHidden,    // template, noscript: nothing inside is shown
    trHead,      // head: nothing inside is shown
    trHeadOnly,  // may stand in the head without ending it
};

constexpr std::array<TTagRole, htTagCount> MakeRoles() {
    std::array<TTagRole, htTagCount> r{};
    for (THtmlTag t : {htAddress, htArticle, htAside, htBlockquote, htBody, htBr, htCaption, htCenter, htDd,
                       htDetails, htDialog, htDir, htDiv, htDl, htDt, htFieldset, htFigcaption, htFigure, htFooter,
                       htForm, htFrameset, htH1, htH2, htH3, htH4, htH5, htH6, htHeader, htHgroup, htHr, htHtml,
                       htLegend, htLi, htListing, htMain, htMenu, htNav, htOl, htP, htPlaintext, htPre, htSearch,
                       htSection, htSummary, htTable, htTbody, htTfoot, htThead, htTr, htUl, htXmp, htOption,
                       htTextarea, htSelect, htIframe})
        r[t] = trBlock;
    r[htTd] = r[htTh] = trCell;
    r[htTemplate] = r[htNoscript] = trHidden;
    r[htHead] = trHead;
    for (THtmlTag t : {htTitle, htMeta, htLink, htBase, htBasefont, htBgsound, htStyle, htScript})
        r[t] = trHeadOnly;
    return r;
}
constexpr std::array<TTagRole, htTagCount> Roles = MakeRoles();

class TTextBuilder {
public:
    void Append(QStringView Text) {
        for (QChar c : Text) {
            char16_t u = c.unicode();
            if (u == 0xA0) u = u' ';
            if (u == u'\n' || u == u'\r') { // only in pre-formatted text
                EndLine();
                continue;
            }
            if (u <= 0x20) {
                // One space between words, none at the start of a line.
                if (fLine.isEmpty() || fLine.back().unicode() <= 0x20) continue;
                u = u' ';
            }
            fLine += QChar(u);
        }
    }
    void Separate() {
        if (!fLine.isEmpty() && fLine.back() != u' ') fLine += u' ';
    }
    void EndLine() {
        qsizetype e = fLine.size();
        while (e > 0 && fLine[e - 1].unicode() <= 0x20) --e;
        if (e > 0) {
            fOut += QStringView(fLine).first(e);
            fOut += u'\n';
        }
        fLine.clear();
    }
    QString Result() {
        EndLine();
        return fOut.isEmpty() ? QStringLiteral("1\n") : fOut;
    }

private:
    QString fOut, fLine;
};

} // namespace

QString HtmlToPlainText(const QString &Html) {
    THtmlTokenizer tok;
    tok.setInput(Html);
    tok.setReportAllTags();
    TTextBuilder text;
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
            if (tok.tagType() == ttStartTag) ++hiddenDepth;
            else if (tok.tagType() == ttEndTag && hiddenDepth > 0) --hiddenDepth;
            break;
        case trHeadOnly:
            break;
        default:
            if (inHead && start) inHead = false; // a body element ends the head
            if (role == trBlock) text.EndLine();
            else if (role == trCell) text.Separate();
            break;
        }
    }
    return text.Result();
}

} // namespace corvane
