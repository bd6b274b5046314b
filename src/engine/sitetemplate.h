// The site's template: the shingles that most pages of the site carry
// (menus, footers, sidebars), how much of each page they make, the
// uniqueness of the pages without them, and the text they stand for.
#pragma once

#include <cstdint>
#include <vector>

#include "core/shinglespans.h"
#include "engine/typeslib.h"
#include "engine/uniqueness.h"

namespace corvane {

inline constexpr int DefaultTemplatePercent = 50;
// However small the site, a hash held by fewer pages is not the template's.
inline constexpr std::int32_t TemplateMinPages = 3;

struct TSiteTemplate {
    int Percent = DefaultTemplatePercent;
    std::int32_t ContentPages = 0; // checked pages with at least one hash
    // A template hash is in the sets of at least MinPages checked pages:
    // Percent % of ContentPages, and TemplateMinPages at least.
    std::int32_t MinPages = TemplateMinPages;
    std::vector<std::int64_t> Hashes; // the template hashes, descending

    // Per list position: how many of the page's distinct hashes are template,
    // and their percentage of all its distinct hashes (0 for a page without
    // hashes and for positions that are no checked page).
    std::vector<std::int32_t> TemplateHashes;
    std::vector<double> Share;
    // The checked page with the most template hashes (ties: the lowest task
    // number); -1 when no page holds one.
    std::int32_t RichestPage = -1;

    bool Contains(std::int64_t Hash) const;
};

// The template of the list's checked pages (trOk with a shingle set); Percent
// is clamped to 1..100.
TSiteTemplate FindSiteTemplate(const TURLTaskInfoList &List, int Percent = DefaultTemplatePercent);

// Per list position, as ComputeUniqueness would give them if the sets held no
// template hash: the uniqueness (-1 for a task without results) and the
// similarities. Emptied lists the pages with text and hashes, every one of
// them template: left with no hash, they take part in no comparison
// (similarity 0 to every page) and their uniqueness is 100; the caller says
// so in the log. (A page whose set was empty to begin with is compared as it
// always is.)
using TTemplateFreeUniqueness = TFilteredUniqueness;

// Right after ComputeUniqueness, derived from its matrix (ComputeUniquenessWithout);
// otherwise the step itself on copies of the sets without the template's
// hashes. The list is left as it is.
TTemplateFreeUniqueness ComputeTemplateFreeUniqueness(const TURLTaskInfoList &List,
                                                      const TSiteTemplate &Template);

// The template as text: the passages of the richest page's text covered by
// its template shingles. ShingleLength and SkipStopWords must be the check's.
struct TTemplateText {
    std::int32_t Page = -1; // list position, -1 without template
    std::vector<TPassage> Passages;
};
TTemplateText TemplatePassages(const TURLTaskInfoList &List, const TSiteTemplate &Template,
                               int ShingleLength, bool SkipStopWords);

} // namespace corvane
