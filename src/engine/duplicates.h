// Groups of near-duplicate pages: pages linked by a similarity at or above a
// threshold, taken together with everything they are linked to.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>

#include "engine/pagesignals.h"
#include "engine/typeslib.h"

namespace corvane {

inline constexpr int MinDuplicateThreshold = 50;
inline constexpr int MaxDuplicateThreshold = 100;
inline constexpr int DefaultDuplicateThreshold = 90;

struct TDuplicateGroup {
    std::int32_t Number = 0;           // 1, 2, ...: by size, the larger first
    std::vector<std::int32_t> Members; // list positions, ascending
    // The member with the highest sum of similarities to the other members
    // (ties: the lowest task number), and that sum.
    std::int32_t Representative = -1;
    double RepresentativeSum = 0;
    // Members other than the representative that neither name it as their
    // canonical URL nor are noindex; the group is handled when there is none.
    std::vector<std::int32_t> Unhandled;
    bool Handled() const { return Unhandled.empty(); }
};

struct TDuplicateGroups {
    std::vector<TDuplicateGroup> Groups; // Groups[k].Number == k + 1
    std::vector<std::int32_t> GroupOf;   // per list position: its group's number, 0 for none
};

// Turns a URL into the form in which two URLs are compared.
using TURLNormalizer = std::function<QString(const QString &)>;

// The duplicate groups of the list's checked pages (trOk with a shingle set)
// at Threshold percent, clamped to 50..100. Signals holds the indexing
// signals by list position (positions past its end have none); a canonical
// URL is compared with the representative's URL through Normalize, or
// exactly when Normalize is empty.
//
// Meant to run right after ComputeUniqueness: a page can only be linked when
// its uniqueness is at most 100 - Threshold, and only those pages' rows of
// the similarity matrix are read, so the similarities are the matrix's own.
// A page the step left without similarities (no text) is measured with
// ShingleSimilarity, which gives the same values, against every checked page;
// two pages without a single hash are 100 % alike, as there.
TDuplicateGroups FindDuplicateGroups(const TURLTaskInfoList &List, int Threshold,
                                     const std::vector<TPageSignals> &Signals = {},
                                     const TURLNormalizer &Normalize = {});

} // namespace corvane
