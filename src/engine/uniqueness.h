// The end-of-check step: the similarity of every pair of pages and each page's
// uniqueness, 100 minus its highest similarity.
//
// Every similarity is the Dice coefficient of two shingle sets, which only
// needs the number of hashes the two sets share. The counts come from an
// inverted index over the hashes that more than one page holds; hashes held by
// exactly the same pages are merged into one weighted group (site-wide
// boilerplate becomes a single group), so the count of a pair is the summed
// weight of the groups both pages belong to. Only that group structure is
// kept; a similarity is computed from it when asked for, bit for bit the value
// ShingleSimilarity gives for the pair.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include <QString>

#include "engine/typeslib.h"

namespace corvane {

struct TUniquenessCallbacks {
    // Called once per task, in list order, with its number: "URL %d: сравнение содержимого".
    std::function<void(std::int32_t Num)> Log;
    // Called after each task with the count done so far.
    std::function<void(std::int32_t Done)> Progress;
};

class TSimilarityMatrix {
public:
    std::int32_t Size() const { return std::int32_t(FNums.size()); }
    // The entry of list position Col in the array of the task at position Row.
    TURLSimilRec Entry(std::int32_t Row, std::int32_t Col) const;
    std::vector<TURLSimilRec> Row(std::int32_t Row) const;
    // Number of hashes the tables at the two positions share (both must have one).
    std::int64_t CommonCount(std::int32_t A, std::int32_t B) const;

private:
    friend class TUniquenessBuilder;
    friend void ComputeUniqueness(TURLTaskInfoList &List, const TUniquenessCallbacks &Callbacks);

    double Similarity(std::int32_t A, std::int32_t B) const;

    std::vector<std::int32_t> FNums;  // Num of the task at each position, 0 without results
    std::vector<std::int64_t> FSizes; // size of its table, -1 without one
    // Pages that take part in the index (regular tables): their groups, CSR.
    std::vector<std::int64_t> FPageGroupStart;
    std::vector<std::int32_t> FPageGroups;
    std::vector<std::int32_t> FGroupWeight;
    std::vector<std::int64_t> FGroupStart; // members of each group, CSR
    std::vector<std::int32_t> FGroupMembers;
    // Tables not kept as sorted sets without repeats are compared directly.
    std::vector<bool> FIrregular;
    std::unordered_map<std::uint64_t, double> FDirect; // (row << 32 | col) -> similarity
};

// Fills SimilArray and Uniqueness of every task of List that has results.
void ComputeUniqueness(TURLTaskInfoList &List, const TUniquenessCallbacks &Callbacks = {});

// What ComputeUniqueness gives when every set is taken without the hashes
// that at least MinPages of the positions marked in Counted hold, derived
// from the matrix the step left on List: a hash that several tasks hold sits
// in one group of it with exactly those tasks, so the groups with MinPages
// counted members leave and their weights leave their members' set sizes;
// no set is read again. A task with text that had hashes and is left with
// none takes part in no comparison (similarity 0 to every task, uniqueness
// 100) and is listed in Emptied. The list is not changed. False when List
// holds no matrix of the step that matches it, or one with tables that are
// no sets (repeats, another order).
struct TFilteredUniqueness {
    std::vector<double> Uniqueness;          // per list position; -1 without results
    std::vector<TURLSimilArray> SimilArrays; // per list position
    std::vector<std::int32_t> Emptied;       // list positions
};
bool ComputeUniquenessWithout(const TURLTaskInfoList &List, const std::vector<bool> &Counted,
                              std::int32_t MinPages, TFilteredUniqueness &Out);

// The plain procedure: ShingleSimilarity for every ordered pair, arrays of
// records. Kept for comparison in tests and benchmarks; ComputeUniqueness
// gives the same values.
void ComputeUniquenessPairwise(TURLTaskInfoList &List,
                               std::vector<std::vector<TURLSimilRec>> &Arrays);

} // namespace corvane
