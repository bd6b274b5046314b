// The shingle hashes that many pages share, counted exactly.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

struct TSharedHash {
    std::int64_t Hash;
    std::int32_t Pages; // how many of the sets hold it
};

// Every hash that at least MinPages of the sets hold (MinPages is taken as 2
// at least), with the number of sets that hold it, in no particular order.
// Each set is a list of distinct hashes in descending order.
//
// When MinPages is at least 16 times the number of hashes over 2^20, a first
// pass adds every hash to three counters (one in each of three rows,
// picked by different bits of the hash), each counter being at least the
// count of any hash that adds to it; a second pass counts exactly the hashes
// whose three counters reach MinPages. Otherwise every hash is counted, in
// partitions that fit in cache.
//
// HeldPerSet, when given, gets for each set how many of its hashes are among
// those returned.
std::vector<TSharedHash> HashesHeldBy(const std::vector<std::span<const std::int64_t>> &Sets,
                                      std::int32_t MinPages,
                                      std::vector<std::int32_t> *HeldPerSet = nullptr);

} // namespace corvane
