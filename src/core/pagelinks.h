// The links of one HTML page and its indexing signals, collected in one pass
// of the tokenizer (linear in the page, whatever its markup).
#pragma once

#include <vector>

#include <QString>

#include "core/htmltokenizer.h"

namespace corvane {

struct TPageLink {
    // The href value with its character references decoded, otherwise as
    // written: not trimmed, not resolved (see TLinkResolver in crawlurl.h).
    QString Href;
    // rel holds "nofollow" (a list separated by blanks, letter case ignored).
    bool NoFollow = false;
    THtmlTag Tag = htA; // htA or htArea
};

// What the page says about its own indexing.
struct TIndexingSignals {
    // The href of the first <link rel="canonical" href="...">; null when none.
    QString Canonical;
    // <meta name="robots" content="..."> (name in any letter case) holding
    // "noindex" or "none", and "nofollow" or "none"; words are separated by
    // commas or blanks, letter case ignored. Other crawlers' names
    // ("googlebot") are not read.
    bool NoIndex = false;
    bool NoFollow = false;
};

struct TPageLinks {
    // <a href> and <area href>, in document order; an element without href
    // is no link, an empty href is one (to the page itself).
    std::vector<TPageLink> Links;
    // The href of the first <base href="...">; null when none. It applies to
    // every link of the page, those before it included.
    QString BaseHref;
    TIndexingSignals Indexing;
};

// Links inside comments, scripts, styles and the title are not links.
TPageLinks extractPageLinks(const QString &Html);

} // namespace corvane
