#include "ui/compare/Diff_ONP.h"

#include <limits>
#include <type_traits>

#include <QString>

#include "core/Int64List.h"

namespace corvane {

namespace {

constexpr std::int32_t MaxInt = std::numeric_limits<std::int32_t>::max();

// Ranges are checked for a cancel request every this many iterations.
constexpr std::int32_t CheckpointPeriod = 1024;

// Clears the in-progress flag on every way out of a run, exceptions included.
struct RunGuard {
    bool &executing;
    std::vector<std::int32_t> &bufF, &bufB;
    ~RunGuard() {
        bufF = {};
        bufB = {};
        executing = false;
    }
};

} // namespace

TDiff::TDiff() {
    Clear();
}

TDiff::~TDiff() = default;

void TDiff::Clear() {
    // A call from an event handled during a run would pull the result and the
    // sequences from under it; the run clears them itself when it starts.
    if (fExecuting) return;
    fCompareList.clear();
    fLastCompareRec = TCompareRec{};
    fDiffStats = TDiffStats{};
    Ints1 = Ints2 = nullptr;
    Chrs1 = Chrs2 = nullptr;
}

TCompareRec TDiff::GetCompare(std::int32_t index) const {
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index).toStdString());
    return fCompareList[std::size_t(index)];
}

bool TDiff::Execute(const std::int32_t *pints1, const std::int32_t *pints2, std::int32_t len1,
                    std::int32_t len2) {
    if (fExecuting) return false;
    return run(pints1, pints2, len1, len2, 0);
}

bool TDiff::Execute(const char16_t *pchrs1, const char16_t *pchrs2, std::int32_t len1,
                    std::int32_t len2) {
    if (fExecuting) return false;
    return run(pchrs1, pchrs2, len1, len2, 1024);
}

std::int32_t TDiff::value1(std::int32_t i) const {
    return fCompareInts ? Ints1[i] : std::int32_t(Chrs1[i]);
}

std::int32_t TDiff::value2(std::int32_t j) const {
    return fCompareInts ? Ints2[j] : std::int32_t(Chrs2[j]);
}

template <typename T>
bool TDiff::run(const T *seq1, const T *seq2, std::int32_t len1, std::int32_t len2,
                std::size_t reserveRanges) {
    if (len1 < 0) len1 = 0;
    if (len2 < 0) len2 = 0;
    fCancelled = false;
    Clear();
    fExecuting = true;
    RunGuard guard{fExecuting, DiagBufferF, DiagBufferB};
    fCompareList.reserve(std::size_t(len1) + std::size_t(len2));
    fDiffList.clear();
    fDiffList.reserve(reserveRanges);
    fCompareInts = std::is_same_v<T, std::int32_t>;
    if constexpr (std::is_same_v<T, std::int32_t>) {
        Ints1 = seq1;
        Ints2 = seq2;
    } else {
        Chrs1 = seq1;
        Chrs2 = seq2;
    }
    DiagBufferF.assign(std::size_t(len1) + std::size_t(len2) + 3, 0);
    DiagBufferB.assign(std::size_t(len1) + std::size_t(len2) + 3, 0);

    PushRange(0, 0, len1, len2);
    while (!fDiffList.empty()) {
        const TDiffVars r = fDiffList.back();
        fDiffList.pop_back();
        SolveRange(seq1, seq2, r);
    }

    if (fCancelled) {
        fExecuting = false;
        Clear();
        return false;
    }
    for (TCompareRec &rec : fCompareList) {
        if (rec.Kind == ckModify && rec.int1 == rec.int2) {
            rec.Kind = ckNone;
            --fDiffStats.modifies;
            ++fDiffStats.matches;
        }
    }
    RecordChange(fLastCompareRec.oldIndex1, (len1 - 1) - fLastCompareRec.oldIndex1, ckNone);
    return true;
}

void TDiff::PushRange(std::int32_t offset1, std::int32_t offset2, std::int32_t len1,
                      std::int32_t len2) {
    fDiffList.push_back({offset1, offset2, len1, len2});
}

void TDiff::ResetDiagonals(std::int32_t m, std::int32_t n) {
    // Diagonal k lives at k + m + 1, so the band -(m + 1)..n + 1 starts the buffer.
    DiagF = DiagBufferF.data() + m + 1;
    DiagB = DiagBufferB.data() + m + 1;
    for (std::int32_t k = -(m + 1); k <= n + 1; ++k) {
        DiagF[k] = -MaxInt;
        DiagB[k] = MaxInt;
    }
    DiagF[1] = -1;
    DiagB[n - m + 1] = n;
}

template <typename T> void TDiff::SolveRange(const T *A, const T *B, TDiffVars r) {
    std::int32_t &x0 = r.offset1, &y0 = r.offset2, &m = r.len1, &n = r.len2;
    while (m > 0 && n > 0 && A[x0] == B[y0]) {
        ++x0;
        ++y0;
        --m;
        --n;
    }
    while (m > 0 && n > 0 && A[x0 + m - 1] == B[y0 + n - 1]) {
        --m;
        --n;
    }
    if (m == 0) {
        RecordChange(x0, n, ckAdd);
        return;
    }
    if (n == 0) {
        RecordChange(x0, m, ckDelete);
        return;
    }
    if (m == 1 && n == 1) {
        RecordChange(x0, 1, ckDelete);
        RecordChange(x0, 1, ckAdd);
        return;
    }

    const std::int32_t delta = n - m;
    ResetDiagonals(m, n);
    for (std::int32_t p = 0;; ++p) {
        if (p % CheckpointPeriod == CheckpointPeriod - 1) {
            if (fCheckpoint) fCheckpoint();
            if (fCancelled) return;
        }
        if (delta >= 0) {
            for (std::int32_t k = -p; k <= delta - 1; ++k)
                if (ExtendForward(A, B, r, k)) return;
            for (std::int32_t k = delta + p; k >= delta + 1; --k)
                if (ExtendForward(A, B, r, k)) return;
            for (std::int32_t k = delta + p; k >= 1; --k)
                if (ExtendBackward(A, B, r, k)) return;
            for (std::int32_t k = -p; k <= -1; ++k)
                if (ExtendBackward(A, B, r, k)) return;
        } else {
            for (std::int32_t k = p; k >= delta + 1; --k)
                if (ExtendForward(A, B, r, k)) return;
            for (std::int32_t k = delta - p; k <= delta - 1; ++k)
                if (ExtendForward(A, B, r, k)) return;
            for (std::int32_t k = delta - p; k <= -1; ++k)
                if (ExtendBackward(A, B, r, k)) return;
            for (std::int32_t k = p; k >= 1; --k)
                if (ExtendBackward(A, B, r, k)) return;
        }
        if (ExtendForward(A, B, r, delta)) return;
        if (ExtendBackward(A, B, r, 0)) return;
    }
}

template <typename T>
bool TDiff::ExtendForward(const T *A, const T *B, const TDiffVars &r, std::int32_t k) {
    const std::int32_t x0 = r.offset1, y0 = r.offset2, m = r.len1, n = r.len2;
    std::int32_t j = DiagF[k - 1] >= DiagF[k + 1] ? DiagF[k - 1] + 1 : DiagF[k + 1];
    std::int32_t i = j - k;
    while (i < m - 1 && j < n - 1 && A[x0 + i + 1] == B[y0 + j + 1]) {
        ++i;
        ++j;
    }
    DiagF[k] = j;
    if (DiagF[k] < DiagB[k]) return false;
    ++i;
    ++j;
    PushRange(x0 + i, y0 + j, m - i, n - j);
    PushRange(x0, y0, i, j);
    return true;
}

template <typename T>
bool TDiff::ExtendBackward(const T *A, const T *B, const TDiffVars &r, std::int32_t k) {
    const std::int32_t x0 = r.offset1, y0 = r.offset2, m = r.len1, n = r.len2;
    std::int32_t j = DiagB[k + 1] > DiagB[k - 1] ? DiagB[k - 1] : DiagB[k + 1] - 1;
    std::int32_t i = j - k;
    while (i >= 0 && j >= 0 && A[x0 + i] == B[y0 + j]) {
        --i;
        --j;
    }
    DiagB[k] = j;
    if (DiagB[k] > DiagF[k]) return false;
    ++i;
    ++j;
    PushRange(x0 + i, y0 + j, m - i, n - j);
    PushRange(x0, y0, i, j);
    return true;
}

void TDiff::RecordChange(std::int32_t offset1, std::int32_t range, TChangeKind kind) {
    TCompareRec &C = fLastCompareRec;
    auto writeMatch = [&] {
        C.Kind = ckNone;
        ++C.oldIndex1;
        ++C.oldIndex2;
        C.int1 = value1(C.oldIndex1);
        C.int2 = value2(C.oldIndex2);
        write();
        ++fDiffStats.matches;
    };
    // First record of the run of records of this kind that ends the list.
    auto trailingRunStart = [&](TChangeKind runKind) {
        std::size_t first = fCompareList.size() - 1;
        while (first > 0 && fCompareList[first - 1].Kind == runKind) --first;
        return first;
    };

    while (C.oldIndex1 < offset1 - 1) writeMatch();
    switch (kind) {
    case ckNone:
        for (std::int32_t r = 0; r < range; ++r) writeMatch();
        break;
    case ckAdd:
        for (std::int32_t r = 0; r < range; ++r) {
            if (C.Kind == ckDelete) {
                const std::size_t first = trailingRunStart(ckDelete);
                TCompareRec &rec = fCompareList[first];
                rec.Kind = ckModify;
                ++C.oldIndex2;
                rec.oldIndex2 = C.oldIndex2;
                rec.int2 = value2(C.oldIndex2);
                --fDiffStats.deletes;
                ++fDiffStats.modifies;
                if (first == fCompareList.size() - 1) C.Kind = ckModify;
            } else {
                C.Kind = ckAdd;
                C.int1 = 0;
                ++C.oldIndex2;
                C.int2 = value2(C.oldIndex2);
                write();
                ++fDiffStats.adds;
            }
        }
        break;
    case ckDelete:
        for (std::int32_t r = 0; r < range; ++r) {
            if (C.Kind == ckAdd) {
                const std::size_t first = trailingRunStart(ckAdd);
                TCompareRec &rec = fCompareList[first];
                rec.Kind = ckModify;
                ++C.oldIndex1;
                rec.oldIndex1 = C.oldIndex1;
                rec.int1 = value1(C.oldIndex1);
                --fDiffStats.adds;
                ++fDiffStats.modifies;
                if (first == fCompareList.size() - 1) C.Kind = ckModify;
            } else {
                C.Kind = ckDelete;
                C.int2 = 0;
                ++C.oldIndex1;
                C.int1 = value1(C.oldIndex1);
                write();
                ++fDiffStats.deletes;
            }
        }
        break;
    case ckModify:
        break;
    }
}

} // namespace corvane
