#include "core/pagelinks.h"

namespace corvane {

namespace {

inline bool isSeparator(QChar C, bool Commas) {
    return C.unicode() <= 0x20 || (Commas && C == u',');
}

// Does the list (words separated by blanks, and by commas when Commas) hold
// Word, in any letter case?
bool listHolds(QStringView List, QLatin1StringView Word, bool Commas = false) {
    qsizetype i = 0;
    while (i < List.size()) {
        while (i < List.size() && isSeparator(List[i], Commas)) ++i;
        qsizetype e = i;
        while (e < List.size() && !isSeparator(List[e], Commas)) ++e;
        if (e > i && List.sliced(i, e - i).compare(Word, Qt::CaseInsensitive) == 0) return true;
        i = e;
    }
    return false;
}

} // namespace

TPageLinks extractPageLinks(const QString &Html) {
    TPageLinks page;
    THtmlTokenizer tok;
    tok.setInput(Html, false);
    tok.setReportedTags({htA, htArea, htBase, htLink, htMeta}, {});
    const QLatin1StringView href("href"), rel("rel");
    bool haveBase = false, haveCanonical = false;
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() != ptHtmlTag) continue;
        switch (tok.tag()) {
        case htA:
        case htArea: {
            QString value = tok.attribute(href);
            if (value.isNull()) break;
            const bool noFollow = listHolds(tok.attribute(rel), QLatin1StringView("nofollow"));
            page.Links.push_back({std::move(value), noFollow, tok.tag()});
            break;
        }
        case htBase:
            if (!haveBase) {
                page.BaseHref = tok.attribute(href);
                haveBase = !page.BaseHref.isNull();
            }
            break;
        case htLink:
            if (!haveCanonical && listHolds(tok.attribute(rel), QLatin1StringView("canonical"))) {
                page.Indexing.Canonical = tok.attribute(href);
                haveCanonical = !page.Indexing.Canonical.isNull();
            }
            break;
        case htMeta:
            if (tok.attribute(QLatin1StringView("name"))
                    .trimmed()
                    .compare(u"robots", Qt::CaseInsensitive) == 0) {
                const QString content = tok.attribute(QLatin1StringView("content"));
                const bool none = listHolds(content, QLatin1StringView("none"), true);
                page.Indexing.NoIndex |=
                    none || listHolds(content, QLatin1StringView("noindex"), true);
                page.Indexing.NoFollow |=
                    none || listHolds(content, QLatin1StringView("nofollow"), true);
            }
            break;
        default:
            break;
        }
    }
    return page;
}

} // namespace corvane
