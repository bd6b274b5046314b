// Line diff: a bidirectional O(NP) sequence comparison (S. Wu, U. Manber,
// G. Myers, W. Miller, "An O(NP) sequence comparison algorithm", Information
// Processing Letters 35(6), 1990), run by divide and conquer over an explicit
// stack of sub-ranges. The result is an aligned edit script with one record
// per position; its exact shape (tie-breaks, pairing of deletes and adds into
// modifies) is part of the contract, not merely its length.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace corvane {

enum TChangeKind : std::uint8_t { ckNone = 0, ckAdd = 1, ckDelete = 2, ckModify = 3 };

struct TCompareRec {
    TChangeKind Kind = ckNone;
    std::int32_t oldIndex1 = -1; // for an add: the sequence-1 element before the insertion
    std::int32_t oldIndex2 = -1; // for a delete: the sequence-2 element before the deletion
    // The two elements; 0 on the side that does not apply. The character
    // overload stores its characters here too.
    std::int32_t int1 = 0;
    std::int32_t int2 = 0;

    char16_t chr1() const { return char16_t(int1); }
    char16_t chr2() const { return char16_t(int2); }
};

struct TDiffStats {
    std::int32_t matches = 0;
    std::int32_t adds = 0;
    std::int32_t deletes = 0;
    std::int32_t modifies = 0;
};

class TDiff {
public:
    TDiff();
    ~TDiff();
    TDiff(const TDiff &) = delete;
    TDiff &operator=(const TDiff &) = delete;

    // Compares len1 elements at pints1 with len2 at pints2 (left unchanged
    // during the call). False when a run is already in progress on this
    // object (nothing is touched) or when the run was cancelled (empty result).
    bool Execute(const std::int32_t *pints1, const std::int32_t *pints2, std::int32_t len1,
                 std::int32_t len2);
    bool Execute(const char16_t *pchrs1, const char16_t *pchrs2, std::int32_t len1,
                 std::int32_t len2);

    std::int32_t Count() const { return std::int32_t(fCompareList.size()); }
    // A copy of one record; an index outside 0..Count-1 throws EListError.
    TCompareRec Compares(std::int32_t index) const { return GetCompare(index); }
    TCompareRec GetCompare(std::int32_t index) const;
    const std::vector<TCompareRec> &Records() const { return fCompareList; }

    TDiffStats DiffStats() const { return fDiffStats; }
    bool Cancelled() const { return fCancelled; }
    bool Executing() const { return fExecuting; }

    // Called at every checkpoint of a run (every 1 024 iterations of a
    // range): a window passes one that processes pending events, so that it
    // stays responsive and can Cancel. None: the run goes straight through.
    void SetCheckpoint(std::function<void()> Checkpoint) { fCheckpoint = std::move(Checkpoint); }
    // Asks a run in progress to stop at its next checkpoint.
    void Cancel() { fCancelled = true; }
    // Drops the result, the counters and the borrowed sequences.
    void Clear();

private:
    struct TDiffVars {
        std::int32_t offset1, offset2, len1, len2;
    };

    template <typename T>
    bool run(const T *seq1, const T *seq2, std::int32_t len1, std::int32_t len2,
             std::size_t reserveRanges);
    template <typename T> void SolveRange(const T *A, const T *B, TDiffVars r);
    template <typename T>
    bool ExtendForward(const T *A, const T *B, const TDiffVars &r, std::int32_t k);
    template <typename T>
    bool ExtendBackward(const T *A, const T *B, const TDiffVars &r, std::int32_t k);
    void ResetDiagonals(std::int32_t m, std::int32_t n);
    void PushRange(std::int32_t offset1, std::int32_t offset2, std::int32_t len1,
                   std::int32_t len2);
    void RecordChange(std::int32_t offset1, std::int32_t range, TChangeKind kind);
    void write() { fCompareList.push_back(fLastCompareRec); }
    std::int32_t value1(std::int32_t i) const;
    std::int32_t value2(std::int32_t j) const;

    std::vector<TCompareRec> fCompareList;
    std::vector<TDiffVars> fDiffList;
    std::function<void()> fCheckpoint;
    bool fCancelled = false;
    bool fExecuting = false;
    bool fCompareInts = false;
    std::vector<std::int32_t> DiagBufferF, DiagBufferB;
    // Windows onto the buffers: diagonal k of the current range is DiagF[k],
    // k from -(m + 1) to n + 1.
    std::int32_t *DiagF = nullptr;
    std::int32_t *DiagB = nullptr;
    const std::int32_t *Ints1 = nullptr, *Ints2 = nullptr;
    const char16_t *Chrs1 = nullptr, *Chrs2 = nullptr;
    TDiffStats fDiffStats;
    TCompareRec fLastCompareRec;
};

} // namespace corvane
