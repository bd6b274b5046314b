#include "engine/uniqueness.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace corvane {

namespace {

// Sign bit flipped: unsigned order of the keys is the signed order of the hashes.
inline std::uint64_t keyOf(std::int64_t h) {
    return std::uint64_t(h) ^ (std::uint64_t(1) << 63);
}

inline std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// Fibonacci hashing: one multiplication spreads any key over the table.
inline std::size_t slotOf(std::int64_t h, int capShift) {
    return std::size_t((std::uint64_t(h) * 0x9e3779b97f4a7c15ULL) >> capShift);
}

bool isRegular(const TShingleHashTable &t) {
    return t.Count() == 0 || t.SortType() == Int64SortDownNoDup || t.SortType() == Int64SortUpNoDup;
}

// One page of the index: its hashes in descending order of value.
struct PageView {
    const std::int64_t *items;
    std::int32_t count;
    bool up; // stored ascending: walk from the end
    std::int64_t at(std::int32_t r) const { return up ? items[count - 1 - r] : items[r]; }
};

// Open addressing from a posting list's fingerprint to the groups that have it.
class GroupTable {
public:
    std::int32_t findOrAdd(const std::int32_t *list, std::int32_t len,
                           std::vector<std::int64_t> &start, std::vector<std::int32_t> &members,
                           std::vector<std::int32_t> &weight) {
        std::uint64_t fp = mix(std::uint64_t(len) + 0x9e3779b97f4a7c15ULL);
        for (std::int32_t i = 0; i < len; ++i) fp = mix(fp ^ std::uint64_t(list[i]));
        if ((used + 1) * 2 > table.size()) grow();
        std::size_t s = std::size_t(fp) & (table.size() - 1);
        while (table[s].group >= 0) {
            if (table[s].fp == fp) {
                const std::int32_t g = table[s].group;
                const std::int64_t b = start[g], e = start[g + 1];
                if (e - b == len && std::memcmp(&members[b], list, sizeof(std::int32_t) * len) == 0)
                    return g;
            }
            s = (s + 1) & (table.size() - 1);
        }
        const std::int32_t g = std::int32_t(weight.size());
        table[s] = {fp, g};
        ++used;
        members.insert(members.end(), list, list + len);
        start.push_back(std::int64_t(members.size()));
        weight.push_back(0);
        return g;
    }

private:
    struct Slot {
        std::uint64_t fp = 0;
        std::int32_t group = -1;
    };
    void grow() {
        std::vector<Slot> old = std::move(table);
        table.assign(std::max<std::size_t>(1024, old.size() * 2), Slot{});
        for (const Slot &o : old) {
            if (o.group < 0) continue;
            std::size_t s = std::size_t(o.fp) & (table.size() - 1);
            while (table[s].group >= 0) s = (s + 1) & (table.size() - 1);
            table[s] = o;
        }
    }
    std::vector<Slot> table = std::vector<Slot>(1024);
    std::size_t used = 0;
};

} // namespace

class TUniquenessBuilder {
public:
    static std::shared_ptr<TSimilarityMatrix>
    Build(const std::vector<const TShingleHashTable *> &tables, std::vector<std::int32_t> nums);
    // The matrix of the same sets less the hashes that at least MinPages of
    // the counted positions hold: the groups with that many counted members
    // leave, and their weights leave their members' sizes.
    static std::shared_ptr<TSimilarityMatrix>
    Without(const TSimilarityMatrix &M, const std::vector<bool> &Counted, std::int32_t MinPages);
    static bool Filtered(const TURLTaskInfoList &List, const std::vector<bool> &Counted,
                         std::int32_t MinPages, TFilteredUniqueness &Out);
    class RowMaximum;
};

std::shared_ptr<TSimilarityMatrix>
TUniquenessBuilder::Build(const std::vector<const TShingleHashTable *> &tables,
                          std::vector<std::int32_t> nums) {
    auto m = std::make_shared<TSimilarityMatrix>();
    const std::int32_t n = std::int32_t(tables.size());
    m->FNums = std::move(nums);
    m->FSizes.assign(n, -1);
    m->FIrregular.assign(n, false);

    std::vector<PageView> pages(n, PageView{nullptr, 0, false});
    std::int64_t total = 0;
    std::vector<std::int32_t> irregular;
    for (std::int32_t i = 0; i < n; ++i) {
        const TShingleHashTable *t = tables[i];
        if (!t) continue;
        m->FSizes[i] = t->Count();
        if (!isRegular(*t)) {
            m->FIrregular[i] = true;
            irregular.push_back(i);
            continue;
        }
        pages[i] = PageView{t->List(), t->Count(), t->SortType() == Int64SortUpNoDup};
        total += t->Count();
    }

    // Partitions by the top bits of the key, about 32 K entries each, walked
    // from the highest keys down, the order in which every page stores them.
    // A partition's distinct hashes get dense ids through a small hash table
    // that stays in cache.
    constexpr std::int64_t PartitionTarget = 32768;
    constexpr std::int32_t PrefetchAhead = 16;
    int bits = 0;
    while (bits < 20 && (total >> bits) > PartitionTarget) ++bits;
    const int shift = 64 - bits;
    const std::size_t parts = std::size_t(1) << bits;
    auto partOf = [&](std::int64_t h) -> std::size_t {
        return bits ? std::size_t(keyOf(h) >> shift) : 0;
    };

    std::vector<std::int32_t> hist(parts, 0);
    for (std::int32_t i = 0; i < n; ++i) {
        const PageView &pv = pages[i];
        for (std::int32_t r = 0; r < pv.count; ++r) ++hist[partOf(pv.at(r))];
    }
    const std::int32_t maxPart = parts ? *std::max_element(hist.begin(), hist.end()) : 0;

    struct Slot {
        std::int64_t key;
        std::int32_t id;
        std::uint32_t stamp;
    };
    std::size_t cap = 1 << 15;
    std::vector<Slot> table(cap, Slot{0, 0, 0});
    std::uint32_t stamp = 0;
    std::vector<std::int64_t> idKey;
    std::vector<std::int32_t> cnt, fill;
    std::vector<std::int32_t> entryId(std::size_t(maxPart) + 1), post(std::size_t(maxPart) + 1);
    std::vector<std::int32_t> cursor(n, 0), runStart(n, 0);

    GroupTable groups;
    auto &gStart = m->FGroupStart;
    auto &gWeight = m->FGroupWeight;
    auto &gMembers = m->FGroupMembers;
    gStart.assign(1, 0);

    for (std::size_t pi = parts; pi-- > 0;) {
        if (hist[pi] == 0) continue;
        ++stamp;
        idKey.clear();
        cnt.clear();
        int capShift = 64 - std::countr_zero(cap);
        std::int32_t e = 0;
        for (std::int32_t i = 0; i < n; ++i) {
            // Ten thousand pages are ten thousand streams, too many for the
            // hardware prefetcher: fetch a page's next hashes a little ahead.
            if (i + PrefetchAhead < n) {
                const PageView &ahead = pages[i + PrefetchAhead];
                if (cursor[i + PrefetchAhead] < ahead.count)
                    __builtin_prefetch(
                        &ahead.items[ahead.up ? ahead.count - 1 - cursor[i + PrefetchAhead]
                                              : cursor[i + PrefetchAhead]]);
            }
            const PageView &pv = pages[i];
            std::int32_t r = cursor[i];
            runStart[i] = r;
            for (; r < pv.count; ++r) {
                const std::int64_t h = pv.at(r);
                if (partOf(h) != pi) break;
                std::size_t s = slotOf(h, capShift);
                while (table[s].stamp == stamp && table[s].key != h) s = (s + 1) & (cap - 1);
                std::int32_t id;
                if (table[s].stamp == stamp) {
                    id = table[s].id;
                } else {
                    id = std::int32_t(idKey.size());
                    table[s] = Slot{h, id, stamp};
                    idKey.push_back(h);
                    cnt.push_back(0);
                    if (idKey.size() * 2 > cap) {
                        // Grow and re-insert this partition's hashes; ids stay.
                        cap *= 2;
                        capShift = 64 - std::countr_zero(cap);
                        table.assign(cap, Slot{0, 0, 0});
                        for (std::size_t k = 0; k < idKey.size(); ++k) {
                            std::size_t t = slotOf(idKey[k], capShift);
                            while (table[t].stamp == stamp) t = (t + 1) & (cap - 1);
                            table[t] = Slot{idKey[k], std::int32_t(k), stamp};
                        }
                    }
                }
                ++cnt[id];
                entryId[e++] = id;
            }
            cursor[i] = r;
        }
        // Posting lists of the hashes held by two pages or more, in page order.
        const std::size_t ids = idKey.size();
        fill.resize(ids);
        std::int32_t postTotal = 0;
        for (std::size_t k = 0; k < ids; ++k)
            if (cnt[k] >= 2) {
                fill[k] = postTotal;
                postTotal += cnt[k];
            }
        if (postTotal == 0) continue;
        e = 0;
        for (std::int32_t i = 0; i < n; ++i)
            for (std::int32_t r = runStart[i]; r < cursor[i]; ++r) {
                const std::int32_t id = entryId[e++];
                if (cnt[id] >= 2) post[fill[id]++] = i;
            }
        for (std::size_t k = 0; k < ids; ++k) {
            if (cnt[k] < 2) continue;
            const std::int32_t len = cnt[k];
            const std::int32_t *list = &post[fill[k] - len];
            const std::int32_t g = groups.findOrAdd(list, len, gStart, gMembers, gWeight);
            ++gWeight[g];
        }
    }

    // Each page's groups, in group order.
    auto &pStart = m->FPageGroupStart;
    auto &pGroups = m->FPageGroups;
    pStart.assign(std::size_t(n) + 1, 0);
    for (const std::int32_t p : gMembers) ++pStart[std::size_t(p) + 1];
    for (std::int32_t i = 0; i < n; ++i) pStart[i + 1] += pStart[i];
    pGroups.resize(gMembers.size());
    {
        std::vector<std::int64_t> at(pStart.begin(), pStart.end() - 1);
        const std::int32_t g = std::int32_t(gWeight.size());
        for (std::int32_t k = 0; k < g; ++k)
            for (std::int64_t x = gStart[k]; x < gStart[k + 1]; ++x) pGroups[at[gMembers[x]]++] = k;
    }

    // Tables with repeats or in another order go through ShingleSimilarity.
    for (const std::int32_t a : irregular)
        for (std::int32_t b = 0; b < n; ++b) {
            if (b == a || !tables[b]) continue;
            m->FDirect[(std::uint64_t(a) << 32) | std::uint32_t(b)] =
                ShingleSimilarity(*tables[a], *tables[b]);
            if (!m->FIrregular[b])
                m->FDirect[(std::uint64_t(b) << 32) | std::uint32_t(a)] =
                    ShingleSimilarity(*tables[b], *tables[a]);
        }
    return m;
}

std::int64_t TSimilarityMatrix::CommonCount(std::int32_t A, std::int32_t B) const {
    std::int64_t a = FPageGroupStart[A], ae = FPageGroupStart[A + 1];
    std::int64_t b = FPageGroupStart[B], be = FPageGroupStart[B + 1];
    std::int64_t common = 0;
    while (a < ae && b < be) {
        const std::int32_t ga = FPageGroups[a], gb = FPageGroups[b];
        if (ga < gb)
            ++a;
        else if (gb < ga)
            ++b;
        else {
            common += FGroupWeight[ga];
            ++a;
            ++b;
        }
    }
    return common;
}

double TSimilarityMatrix::Similarity(std::int32_t A, std::int32_t B) const {
    if (FIrregular[A] || FIrregular[B]) {
        const auto it = FDirect.find((std::uint64_t(A) << 32) | std::uint32_t(B));
        return it == FDirect.end() ? 0 : it->second;
    }
    return DiceFromCounts(CommonCount(A, B), FSizes[A], FSizes[B]);
}

TURLSimilRec TSimilarityMatrix::Entry(std::int32_t Row, std::int32_t Col) const {
    if (Col == Row || FNums[Col] == 0) return {};
    TURLSimilRec rec{FNums[Col], 0};
    if (FSizes[Row] >= 0 && FSizes[Col] >= 0) rec.Similarity = Similarity(Row, Col);
    return rec;
}

std::vector<TURLSimilRec> TSimilarityMatrix::Row(std::int32_t Row) const {
    const std::int32_t n = Size();
    std::vector<TURLSimilRec> out(n);
    if (Row < 0 || Row >= n) return out;
    std::vector<std::int64_t> counts;
    const bool direct = FSizes[Row] < 0 || FIrregular[Row];
    if (!direct) {
        counts.assign(n, 0);
        for (std::int64_t x = FPageGroupStart[Row]; x < FPageGroupStart[Row + 1]; ++x) {
            const std::int32_t g = FPageGroups[x];
            for (std::int64_t y = FGroupStart[g]; y < FGroupStart[g + 1]; ++y)
                counts[FGroupMembers[y]] += FGroupWeight[g];
        }
    }
    for (std::int32_t c = 0; c < n; ++c) {
        if (c == Row || FNums[c] == 0) continue;
        out[c].Num = FNums[c];
        if (FSizes[Row] < 0 || FSizes[c] < 0) continue;
        out[c].Similarity = (direct || FIrregular[c])
                                ? Similarity(Row, c)
                                : DiceFromCounts(counts[c], FSizes[Row], FSizes[c]);
    }
    return out;
}

namespace {

// acc[j] += w for every page j of a large group, from its byte mask.
[[gnu::always_inline]] inline void addMaskedBody(std::uint32_t *acc, const std::uint8_t *mask,
                                                 std::uint32_t w, std::int32_t n) {
    for (std::int32_t j = 0; j < n; ++j) acc[j] += w * mask[j];
}

// The bits of acc[j] / (na + nb[j]) as a float, and their maximum. For
// non-negative floats the bit patterns order as the values do; the caller
// keeps every count and sum below 2^24, where floats are exact, so the
// rounded quotients order as the exact ones (rounding is monotone).
[[gnu::always_inline]] inline std::int32_t ratioBitsBody(const std::uint32_t *acc, const float *nb,
                                                         float na, std::int32_t *bits,
                                                         std::int32_t n) {
    std::int32_t best = 0;
    for (std::int32_t j = 0; j < n; ++j) {
        const float r = float(acc[j]) / (na + nb[j]);
        std::int32_t b;
        std::memcpy(&b, &r, sizeof b);
        bits[j] = b;
        best = b > best ? b : best;
    }
    return best;
}

// Plain and AVX2 builds of the two loops, chosen at run time (no ifunc: its
// resolvers run before a sanitizer's runtime is ready).
#if defined(__x86_64__)
__attribute__((target("avx2"))) void addMaskedAvx2(std::uint32_t *acc, const std::uint8_t *mask,
                                                   std::uint32_t w, std::int32_t n) {
    addMaskedBody(acc, mask, w, n);
}
__attribute__((target("avx2"))) std::int32_t ratioBitsAvx2(const std::uint32_t *acc,
                                                           const float *nb, float na,
                                                           std::int32_t *bits, std::int32_t n) {
    return ratioBitsBody(acc, nb, na, bits, n);
}
const bool UseAvx2 = __builtin_cpu_supports("avx2");
#endif

void addMasked(std::uint32_t *acc, const std::uint8_t *mask, std::uint32_t w, std::int32_t n) {
#if defined(__x86_64__)
    if (UseAvx2) return addMaskedAvx2(acc, mask, w, n);
#endif
    addMaskedBody(acc, mask, w, n);
}

std::int32_t ratioBits(const std::uint32_t *acc, const float *nb, float na, std::int32_t *bits,
                       std::int32_t n) {
#if defined(__x86_64__)
    if (UseAvx2) return ratioBitsAvx2(acc, nb, na, bits, n);
#endif
    return ratioBitsBody(acc, nb, na, bits, n);
}

} // namespace

// The highest similarity of a row to any other page, from the matrix alone.
class TUniquenessBuilder::RowMaximum {
public:
    explicit RowMaximum(const TSimilarityMatrix &M) : m(M), n(M.Size()) {
        // Empty tables: two of them are 100 % alike.
        std::int64_t maxSize = 0;
        nbf.assign(n, 0);
        for (std::int32_t i = 0; i < n; ++i) {
            if (m.FSizes[i] < 0) continue;
            emptyTables += (m.FSizes[i] == 0);
            maxSize = std::max<std::int64_t>(maxSize, m.FSizes[i]);
            if (m.FIrregular[i])
                irregular.push_back(i);
            else
                nbf[i] = float(m.FSizes[i]);
        }
        floatsExact = 2 * maxSize < (std::int64_t(1) << 24);

        // Groups that hold many pages are added to a row as dense masks (vector
        // code), the others page by page.
        const std::int32_t groupCount = std::int32_t(m.FGroupWeight.size());
        maskOf.assign(groupCount, -1);
        for (std::int32_t g = 0; g < groupCount; ++g) {
            const std::int64_t len = m.FGroupStart[g + 1] - m.FGroupStart[g];
            if (len < 256 || len * 8 < n) continue;
            maskOf[g] = std::int32_t(masks.size() / std::size_t(n));
            masks.resize(masks.size() + std::size_t(n), 0);
            std::uint8_t *mask = &masks[masks.size() - std::size_t(n)];
            for (std::int64_t y = m.FGroupStart[g]; y < m.FGroupStart[g + 1]; ++y)
                mask[m.FGroupMembers[y]] = 1;
        }
        acc.assign(n, 0);
        bits.assign(n, 0);
    }

    // 0 for a page without a table.
    double Of(std::int32_t i) {
        double best = 0;
        const std::int64_t na = m.FSizes[i];
        if (na >= 0 && m.FIrregular[i]) {
            for (std::int32_t j = 0; j < n; ++j)
                if (j != i && m.FSizes[j] >= 0) best = std::max(best, m.Similarity(i, j));
        } else if (na == 0) {
            if (emptyTables > 1) best = 100;
        } else if (na > 0) {
            // Common-hash counts of row i against every page.
            std::fill(acc.begin(), acc.end(), 0u);
            for (std::int64_t x = m.FPageGroupStart[i]; x < m.FPageGroupStart[i + 1]; ++x) {
                const std::int32_t g = m.FPageGroups[x];
                const std::uint32_t w = std::uint32_t(m.FGroupWeight[g]);
                if (maskOf[g] >= 0) {
                    addMasked(acc.data(), &masks[std::size_t(maskOf[g]) * std::size_t(n)], w, n);
                    continue;
                }
                for (std::int64_t y = m.FGroupStart[g]; y < m.FGroupStart[g + 1]; ++y)
                    acc[m.FGroupMembers[y]] += w;
            }
            acc[i] = 0;
            // The largest common / (na + nb), compared exactly; the double
            // of the largest fraction is the largest double.
            std::int64_t bc = 0, bd = 1;
            std::int32_t bj = -1;
            auto consider = [&](std::int32_t j) {
                const std::int64_t c = acc[j];
                const std::int64_t d = na + m.FSizes[j];
                if (c * bd > bc * d) {
                    bc = c;
                    bd = d;
                    bj = j;
                }
            };
            if (floatsExact) {
                const std::int32_t top =
                    ratioBits(acc.data(), nbf.data(), float(na), bits.data(), n);
                if (top > 0)
                    for (std::int32_t j = 0; j < n; ++j)
                        if (bits[j] == top) consider(j);
            } else {
                for (std::int32_t j = 0; j < n; ++j)
                    if (acc[j] != 0) consider(j);
            }
            if (bj >= 0) best = DiceFromCounts(bc, na, m.FSizes[bj]);
            for (const std::int32_t j : irregular) best = std::max(best, m.Similarity(i, j));
        }
        return best;
    }

private:
    const TSimilarityMatrix &m;
    const std::int32_t n;
    std::int32_t emptyTables = 0;
    bool floatsExact = true;
    std::vector<std::int32_t> irregular, maskOf, bits;
    std::vector<float> nbf;
    std::vector<std::uint8_t> masks;
    std::vector<std::uint32_t> acc;
};

void ComputeUniqueness(TURLTaskInfoList &List, const TUniquenessCallbacks &Callbacks) {
    const std::int32_t n = std::int32_t(List.size());
    std::vector<const TShingleHashTable *> tables(n, nullptr);
    std::vector<std::int32_t> nums(n, 0);
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskInfo *t = List[i];
        if (!t || !t->TaskResults) continue;
        nums[i] = t->Num;
        tables[i] = t->TaskResults->HashTable.get();
    }
    const std::shared_ptr<TSimilarityMatrix> m = TUniquenessBuilder::Build(tables, nums);
    const std::shared_ptr<const TSimilarityMatrix> shared = m;
    TUniquenessBuilder::RowMaximum highest(*m);
    for (std::int32_t i = 0; i < n; ++i) {
        TURLTaskInfo *t = List[i];
        if (Callbacks.Log && t) Callbacks.Log(t->Num);
        TURLTaskResults *r = t ? t->TaskResults.get() : nullptr;
        if (r && r->ExtractedText.isEmpty()) {
            r->Uniqueness = 0;
        } else if (r) {
            r->SimilArray = TURLSimilArray(shared, i);
            r->Uniqueness = 100 - highest.Of(i);
        }
        if (Callbacks.Progress) Callbacks.Progress(i + 1);
    }
}

std::shared_ptr<TSimilarityMatrix> TUniquenessBuilder::Without(const TSimilarityMatrix &M,
                                                               const std::vector<bool> &Counted,
                                                               std::int32_t MinPages) {
    auto w = std::make_shared<TSimilarityMatrix>();
    const std::int32_t n = M.Size();
    w->FNums = M.FNums;
    w->FSizes = M.FSizes;
    w->FIrregular = M.FIrregular; // all false: tables with repeats are not taken (no groups)
    const std::int32_t groups = std::int32_t(M.FGroupWeight.size());
    std::vector<std::int32_t> newId(groups, -1);
    w->FGroupStart.assign(1, 0);
    for (std::int32_t g = 0; g < groups; ++g) {
        std::int32_t counted = 0;
        for (std::int64_t y = M.FGroupStart[g]; y < M.FGroupStart[g + 1]; ++y)
            counted +=
                std::size_t(M.FGroupMembers[y]) < Counted.size() && Counted[M.FGroupMembers[y]];
        if (counted >= MinPages) {
            for (std::int64_t y = M.FGroupStart[g]; y < M.FGroupStart[g + 1]; ++y)
                w->FSizes[M.FGroupMembers[y]] -= M.FGroupWeight[g];
            continue;
        }
        newId[g] = std::int32_t(w->FGroupWeight.size());
        w->FGroupWeight.push_back(M.FGroupWeight[g]);
        w->FGroupMembers.insert(w->FGroupMembers.end(), M.FGroupMembers.begin() + M.FGroupStart[g],
                                M.FGroupMembers.begin() + M.FGroupStart[g + 1]);
        w->FGroupStart.push_back(std::int64_t(w->FGroupMembers.size()));
    }
    // Each page's groups keep their order (the new ids keep the old order).
    w->FPageGroupStart.assign(std::size_t(n) + 1, 0);
    for (std::int32_t i = 0; i < n; ++i) {
        for (std::int64_t x = M.FPageGroupStart[i]; x < M.FPageGroupStart[i + 1]; ++x)
            if (newId[M.FPageGroups[x]] >= 0) w->FPageGroups.push_back(newId[M.FPageGroups[x]]);
        w->FPageGroupStart[i + 1] = std::int64_t(w->FPageGroups.size());
    }
    return w;
}

bool ComputeUniquenessWithout(const TURLTaskInfoList &List, const std::vector<bool> &Counted,
                              std::int32_t MinPages, TFilteredUniqueness &Out) {
    return TUniquenessBuilder::Filtered(List, Counted, MinPages, Out);
}

bool TUniquenessBuilder::Filtered(const TURLTaskInfoList &List, const std::vector<bool> &Counted,
                                  std::int32_t MinPages, TFilteredUniqueness &Out) {
    const std::int32_t n = std::int32_t(List.size());
    // The matrix the step left, if it is this list's: every number and size
    // as the list has them now.
    std::shared_ptr<const TSimilarityMatrix> m;
    for (const TURLTaskInfo *t : List)
        if (t && t->TaskResults && t->TaskResults->SimilArray.Count() == n) {
            m = t->TaskResults->SimilArray.Matrix();
            break;
        }
    if (!m) return false;
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskInfo *t = List[i];
        const TURLTaskResults *r = t ? t->TaskResults.get() : nullptr;
        const TShingleHashTable *h = r ? r->HashTable.get() : nullptr;
        if (m->FNums[i] != (r ? t->Num : 0) || m->FSizes[i] != (h ? h->Count() : -1) ||
            m->FIrregular[i])
            return false;
    }
    const std::shared_ptr<TSimilarityMatrix> w = Without(*m, Counted, MinPages);
    Out.Uniqueness.assign(n, -1);
    Out.SimilArrays.assign(n, TURLSimilArray());
    Out.Emptied.clear();
    for (std::int32_t i = 0; i < n; ++i)
        if (m->FSizes[i] > 0 && w->FSizes[i] == 0 &&
            !List[i]->TaskResults->ExtractedText.isEmpty()) {
            w->FSizes[i] = -1; // no set left: compared with nothing
            Out.Emptied.push_back(i);
        }
    const std::shared_ptr<const TSimilarityMatrix> shared = w;
    RowMaximum highest(*w);
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskResults *r = List[i] ? List[i]->TaskResults.get() : nullptr;
        if (!r) continue;
        if (r->ExtractedText.isEmpty()) {
            Out.Uniqueness[i] = 0;
            continue;
        }
        Out.SimilArrays[i] = TURLSimilArray(shared, i);
        Out.Uniqueness[i] = 100 - highest.Of(i);
    }
    return true;
}

void ComputeUniquenessPairwise(TURLTaskInfoList &List,
                               std::vector<std::vector<TURLSimilRec>> &Arrays) {
    const std::int32_t n = std::int32_t(List.size());
    Arrays.assign(n, {});
    for (std::int32_t i = 0; i < n; ++i) {
        TURLTaskInfo *p = List[i];
        if (!p || !p->TaskResults) continue;
        TURLTaskResults &r = *p->TaskResults;
        if (r.ExtractedText.isEmpty()) {
            r.Uniqueness = 0;
            continue;
        }
        std::vector<TURLSimilRec> &a = Arrays[i];
        a.assign(n, TURLSimilRec{});
        double m = 0;
        for (std::int32_t j = 0; j < n; ++j) {
            const TURLTaskInfo *s = List[j];
            if (!s || s->Num == p->Num || !s->TaskResults) continue;
            a[j].Num = s->Num;
            if (!r.HashTable || !s->TaskResults->HashTable) continue;
            const double v = ShingleSimilarity(*r.HashTable, *s->TaskResults->HashTable);
            a[j].Similarity = v;
            if (v > m) m = v;
        }
        r.Uniqueness = 100 - m;
    }
}

} // namespace corvane
