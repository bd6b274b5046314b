#include "engine/frequenthashes.h"

#include <algorithm>
#include <bit>

namespace corvane {

namespace {

using SetList = std::vector<std::span<const std::int64_t>>;

// Sign bit flipped: the unsigned order of the keys is the signed order of the
// hashes, so a descending set walks the keys from the top down.
inline std::uint64_t keyOf(std::int64_t h) {
    return std::uint64_t(h) ^ (std::uint64_t(1) << 63);
}

// Fibonacci hashing: the hashes are CRCs that may share their top bits; one
// multiplication spreads them over a table.
inline std::size_t slotOf(std::int64_t h, int shift) {
    return std::size_t((std::uint64_t(h) * 0x9e3779b97f4a7c15ULL) >> shift);
}

// Open addressing from hash to count, at most a quarter full (most hashes
// looked up are not there, and a short probe is a predictable one); a count
// of 0 marks a free cell. The cells in use are listed, so that emptying the
// table costs what it holds, not its size.
class CountTable {
public:
    explicit CountTable(std::size_t Entries) {
        const std::size_t cap = std::max<std::size_t>(64, std::bit_ceil(4 * Entries + 1));
        shift = 64 - std::countr_zero(cap);
        cells.assign(cap, Cell{});
    }
    std::size_t size() const { return used.size(); }
    // Where h is, or the free cell where it would go.
    std::size_t find(std::int64_t h) const {
        std::size_t s = slotOf(h, shift);
        while (cells[s].count != 0 && cells[s].hash != h) s = (s + 1) & (cells.size() - 1);
        return s;
    }
    bool holds(std::size_t At) const { return cells[At].count != 0; }
    std::int32_t &count(std::size_t At) { return cells[At].count; }
    void put(std::size_t At, std::int64_t h, std::int32_t c) {
        cells[At] = {h, c};
        used.push_back(std::uint32_t(At));
    }
    void clear() {
        for (const std::uint32_t at : used) cells[at] = Cell{};
        used.clear();
    }
    template <typename F> void forEach(F f) const {
        for (const std::uint32_t at : used) f(cells[at].hash, cells[at].count);
    }

private:
    struct Cell {
        std::int64_t hash = 0;
        std::int32_t count = 0;
    };
    std::vector<Cell> cells;
    std::vector<std::uint32_t> used;
    int shift = 58;
};

// Dense ids for hashes: open addressing at most a quarter full, grown when
// needed; an id stays what it was.
class IdTable {
public:
    std::int32_t idOf(std::int64_t h) {
        std::size_t s = slotOf(h, shift);
        while (cells[s].id >= 0) {
            if (cells[s].hash == h) return cells[s].id;
            s = (s + 1) & (cells.size() - 1);
        }
        const std::int32_t id = std::int32_t(hashes.size());
        cells[s] = {h, id};
        hashes.push_back(h);
        if (4 * hashes.size() > cells.size()) grow();
        return id;
    }
    std::int32_t find(std::int64_t h) const {
        for (std::size_t s = slotOf(h, shift); cells[s].id >= 0; s = (s + 1) & (cells.size() - 1))
            if (cells[s].hash == h) return cells[s].id;
        return -1;
    }
    const std::vector<std::int64_t> &all() const { return hashes; }

private:
    void grow() {
        cells.assign(2 * cells.size(), Cell{});
        shift = 64 - std::countr_zero(cells.size());
        for (std::size_t id = 0; id < hashes.size(); ++id) {
            std::size_t s = slotOf(hashes[id], shift);
            while (cells[s].id >= 0) s = (s + 1) & (cells.size() - 1);
            cells[s] = {hashes[id], std::int32_t(id)};
        }
    }
    struct Cell {
        std::int64_t hash = 0;
        std::int32_t id = -1;
    };
    std::vector<Cell> cells = std::vector<Cell>(256);
    std::vector<std::int64_t> hashes;
    int shift = 56;
};

// Candidates first: three rows of counters, a hash adding one to a counter of
// each row (chosen by different bits of it), so that each of its counters is
// at least its count; a hash one of whose counters stays below MinPages is
// held by fewer pages. (With three rows, a hash that meets hot counters in
// all three by chance is rare.) The candidates are then counted exactly, and
// for HeldPerSet how many each set holds; only when some candidates fall
// short does a third pass find which sets hold those.
std::vector<TSharedHash> slotFiltered(const SetList &sets, int bits, std::int32_t minPages,
                                      std::vector<std::int32_t> *heldPerSet) {
    const std::size_t size = std::size_t(1) << bits;
    std::vector<std::uint32_t> counter(3 * size, 0);
    const auto first = [&](std::int64_t h) { return slotOf(h, 64 - bits); };
    const auto second = [&](std::int64_t h) { return size + (std::uint64_t(h) & (size - 1)); };
    const auto third = [&](std::int64_t h) {
        return 2 * size + std::size_t((std::uint64_t(h) * 0xc2b2ae3d27d4eb4fULL) >> (64 - bits));
    };
    for (const auto &set : sets)
        for (const std::int64_t h : set) {
            ++counter[first(h)];
            ++counter[second(h)];
            ++counter[third(h)];
        }
    const std::uint32_t m = std::uint32_t(minPages);
    const auto candidate = [&](std::int64_t h) {
        return (counter[first(h)] >= m) & (counter[second(h)] >= m) & (counter[third(h)] >= m);
    };
    IdTable ids;
    std::vector<std::int32_t> count;
    std::vector<std::int32_t> candidates(sets.size(), 0); // per set
    for (std::size_t k = 0; k < sets.size(); ++k)
        for (const std::int64_t h : sets[k]) {
            if (!candidate(h)) continue;
            const std::int32_t id = ids.idOf(h);
            if (std::size_t(id) == count.size()) count.push_back(0);
            ++count[std::size_t(id)];
            ++candidates[k];
        }
    std::vector<TSharedHash> out;
    std::size_t shortOnes = 0;
    for (std::size_t id = 0; id < count.size(); ++id) {
        if (count[id] >= minPages)
            out.push_back({ids.all()[id], count[id]});
        else
            ++shortOnes;
    }
    if (heldPerSet) {
        *heldPerSet = std::move(candidates);
        if (shortOnes > 0)
            for (std::size_t k = 0; k < sets.size(); ++k)
                for (const std::int64_t h : sets[k])
                    if (candidate(h))
                        (*heldPerSet)[k] -= count[std::size_t(ids.find(h))] < minPages;
    }
    return out;
}

// Every hash counted, in partitions by the top bits of the key of about 32 K
// hashes, taken from the highest keys down: every set hands over a run of its
// hashes to each partition in turn, and the partition's counts stay in cache.
std::vector<TSharedHash> countAll(const SetList &sets, std::int64_t total, std::int32_t minPages) {
    const std::size_t np = sets.size();
    constexpr std::int64_t PartitionTarget = 32768;
    int bits = 0;
    while (bits < 20 && (total >> bits) > PartitionTarget) ++bits;
    const std::size_t parts = std::size_t(1) << bits;
    const auto partOf = [&](std::int64_t h) -> std::size_t {
        return bits ? std::size_t(keyOf(h) >> (64 - bits)) : 0;
    };
    std::vector<std::size_t> hist(parts, 0);
    for (const auto &set : sets)
        for (const std::int64_t h : set) ++hist[partOf(h)];
    CountTable table(*std::max_element(hist.begin(), hist.end()));
    std::vector<std::size_t> cursor(np, 0);
    std::vector<TSharedHash> out;
    // Ten thousand pages are ten thousand streams, too many for the hardware
    // prefetcher: a set's next hashes are fetched a few sets ahead.
    constexpr std::size_t Ahead = 16;
    for (std::size_t pi = parts; pi-- > 0;) {
        if (hist[pi] == 0) continue;
        for (std::size_t k = 0; k < np; ++k) {
            if (k + Ahead < np) __builtin_prefetch(sets[k + Ahead].data() + cursor[k + Ahead]);
            const std::span<const std::int64_t> &set = sets[k];
            std::size_t r = cursor[k];
            for (; r < set.size() && partOf(set[r]) == pi; ++r) {
                const std::size_t c = table.find(set[r]);
                if (table.holds(c))
                    ++table.count(c);
                else
                    table.put(c, set[r], 1);
            }
            cursor[k] = r;
        }
        table.forEach([&](std::int64_t h, std::int32_t c) {
            if (c >= minPages) out.push_back({h, c});
        });
        table.clear();
    }
    return out;
}

} // namespace

std::vector<TSharedHash> HashesHeldBy(const SetList &Sets, std::int32_t MinPages,
                                      std::vector<std::int32_t> *HeldPerSet) {
    MinPages = std::max<std::int32_t>(MinPages, 2);
    std::int64_t total = 0;
    for (const auto &s : Sets) total += std::int64_t(s.size());
    if (HeldPerSet) HeldPerSet->assign(Sets.size(), 0);
    if (total == 0) return {};
    // Slot counters averaging a sixteenth of MinPages at most let few hashes
    // through by chance; up to a million of them (4 MB).
    int bits = 10;
    while (bits < 20 && (total >> bits) * 16 > MinPages) ++bits;
    if ((total >> bits) * 16 <= MinPages) return slotFiltered(Sets, bits, MinPages, HeldPerSet);
    std::vector<TSharedHash> out = countAll(Sets, total, MinPages);
    if (HeldPerSet && !out.empty()) {
        CountTable found(out.size());
        for (const TSharedHash &s : out) found.put(found.find(s.Hash), s.Hash, 1);
        for (std::size_t k = 0; k < Sets.size(); ++k)
            for (const std::int64_t h : Sets[k]) (*HeldPerSet)[k] += found.holds(found.find(h));
    }
    return out;
}

} // namespace corvane
