#include "engine/duplicates.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "core/shingles.h"

namespace corvane {

namespace {

class DisjointSets {
public:
    explicit DisjointSets(std::int32_t n) : parent(std::size_t(n)) {
        std::iota(parent.begin(), parent.end(), 0);
    }
    std::int32_t find(std::int32_t x) {
        while (parent[std::size_t(x)] != x) {
            parent[std::size_t(x)] = parent[std::size_t(parent[std::size_t(x)])];
            x = parent[std::size_t(x)];
        }
        return x;
    }
    void join(std::int32_t a, std::int32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::size_t(std::max(a, b))] = std::min(a, b);
    }

private:
    std::vector<std::int32_t> parent;
};

// The similarities of the end-of-check step: the page's row of the matrix
// when the step gave it one for this list, ShingleSimilarity otherwise.
class Similarities {
public:
    explicit Similarities(const TURLTaskInfoList &list)
        : list(list), n(std::int32_t(list.size())) {}

    bool hasRow(std::int32_t a) const { return list[a]->TaskResults->SimilArray.Count() == n; }

    double of(std::int32_t a, std::int32_t b) const {
        const TURLTaskResults &r = *list[a]->TaskResults;
        if (hasRow(a)) return r.SimilArray.Item(b).Similarity;
        return ShingleSimilarity(*r.HashTable, *list[b]->TaskResults->HashTable);
    }

    // Sum of the similarities of a to the other members (in ascending order).
    double sumTo(std::int32_t a, const std::vector<std::int32_t> &members) const {
        double sum = 0;
        // A large group reads the whole row at once, cheaper than entry by entry.
        constexpr std::size_t RowFrom = 256;
        if (members.size() >= RowFrom && hasRow(a)) {
            const std::vector<TURLSimilRec> row = list[a]->TaskResults->SimilArray.ToVector();
            for (const std::int32_t b : members)
                if (b != a) sum += row[std::size_t(b)].Similarity;
            return sum;
        }
        for (const std::int32_t b : members)
            if (b != a) sum += of(a, b);
        return sum;
    }

private:
    const TURLTaskInfoList &list;
    const std::int32_t n;
};

} // namespace

TDuplicateGroups FindDuplicateGroups(const TURLTaskInfoList &List, int Threshold,
                                     const std::vector<TPageSignals> &Signals,
                                     const TURLNormalizer &Normalize) {
    const double p = std::clamp(Threshold, MinDuplicateThreshold, MaxDuplicateThreshold);
    const std::int32_t n = std::int32_t(List.size());
    const Similarities sim(List);
    DisjointSets sets(n);

    std::vector<std::int32_t> checked, empty;
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskInfo *t = List[i];
        if (!t || !t->TaskResults || t->TaskResults->TaskResult != trOk ||
            !t->TaskResults->HashTable)
            continue;
        checked.push_back(i);
        if (t->TaskResults->HashTable->Count() == 0) empty.push_back(i);
    }
    // Two empty sets: 100 %, whatever the threshold.
    for (std::size_t k = 1; k < empty.size(); ++k) sets.join(empty[0], empty[k]);

    for (const std::int32_t i : checked) {
        const TURLTaskResults &r = *List[i]->TaskResults;
        if (!sim.hasRow(i)) {
            for (const std::int32_t j : checked)
                if (j != i && sim.of(i, j) >= p) sets.join(i, j);
            continue;
        }
        // Uniqueness is 100 less the row's highest similarity, and a
        // subtraction from 100 keeps the order of doubles: no similarity in
        // the row reaches the threshold unless this holds.
        if (!(r.Uniqueness <= 100.0 - p)) continue;
        const std::vector<TURLSimilRec> row = r.SimilArray.ToVector();
        for (const std::int32_t j : checked)
            if (j != i && row[std::size_t(j)].Similarity >= p) sets.join(i, j);
    }

    // Groups: two pages or more under one root.
    TDuplicateGroups out;
    out.GroupOf.assign(std::size_t(n), 0);
    std::vector<std::int32_t> groupAt(std::size_t(n), -1);
    std::vector<TDuplicateGroup> groups;
    for (const std::int32_t i : checked) {
        const std::int32_t root = sets.find(i);
        if (groupAt[std::size_t(root)] < 0) {
            groupAt[std::size_t(root)] = std::int32_t(groups.size());
            groups.emplace_back();
        }
        groups[std::size_t(groupAt[std::size_t(root)])].Members.push_back(i);
    }
    std::erase_if(groups, [](const TDuplicateGroup &g) { return g.Members.size() < 2; });
    const auto lowestNum = [&](const TDuplicateGroup &g) {
        std::int32_t m = List[g.Members.front()]->Num;
        for (const std::int32_t x : g.Members) m = std::min(m, List[x]->Num);
        return m;
    };
    std::vector<std::pair<std::int32_t, std::size_t>> order; // (lowest number, group)
    for (std::size_t g = 0; g < groups.size(); ++g) order.emplace_back(lowestNum(groups[g]), g);
    std::sort(order.begin(), order.end(), [&](const auto &a, const auto &b) {
        const std::size_t sa = groups[a.second].Members.size();
        const std::size_t sb = groups[b.second].Members.size();
        return sa != sb ? sa > sb : a.first < b.first;
    });

    for (const auto &[low, g] : order) {
        TDuplicateGroup group = std::move(groups[g]);
        group.Number = std::int32_t(out.Groups.size() + 1);
        for (const std::int32_t m : group.Members) {
            const double sum = sim.sumTo(m, group.Members);
            if (group.Representative < 0 || sum > group.RepresentativeSum ||
                (sum == group.RepresentativeSum &&
                 List[m]->Num < List[group.Representative]->Num)) {
                group.Representative = m;
                group.RepresentativeSum = sum;
            }
            out.GroupOf[std::size_t(m)] = group.Number;
        }
        const QString &repURL = List[group.Representative]->URL;
        const QString target = Normalize ? Normalize(repURL) : repURL;
        const TPageSignals none;
        for (const std::int32_t m : group.Members) {
            if (m == group.Representative) continue;
            const TPageSignals &s =
                std::size_t(m) < Signals.size() ? Signals[std::size_t(m)] : none;
            const bool canonical = !s.Canonical.isEmpty() &&
                                   (Normalize ? Normalize(s.Canonical) : s.Canonical) == target;
            if (!canonical && !s.NoIndex) group.Unhandled.push_back(m);
        }
        out.Groups.push_back(std::move(group));
    }
    return out;
}

} // namespace corvane
