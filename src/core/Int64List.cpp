#include "core/Int64List.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include "core/format.h"

namespace corvane {

namespace {

const char *const SListIndexError = "List index out of bounds (%d)";
const char *const SListCapacityError = "List capacity out of bounds (%d)";
const char *const SListCountError = "List count out of bounds (%d)";
const char *const SSortedListError = "Invalid method call (sorted list)!";
const char *const SEmptyListError = "Invalid method call (empty list)!";
const char *const SReadError = "Stream read error (%d items announced)";
const char *const SSortModeError = "Invalid sort mode in stream (%d)";

// Quicksort with Hoare partitioning and the middle item as pivot; recursion on
// the left part, iteration on the right one. Not stable.
template <typename Before>
void QuickSort(std::int64_t *a, std::int32_t L, std::int32_t R, Before before) {
    std::int32_t I;
    do {
        I = L;
        std::int32_t J = R;
        const std::int64_t pivot = a[L + (R - L) / 2];
        do {
            while (before(a[I], pivot)) ++I;
            while (before(pivot, a[J])) --J;
            if (I <= J) {
                std::swap(a[I], a[J]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J) QuickSort(a, L, J, before);
        L = I;
    } while (I < R);
}

} // namespace

TInt64List::~TInt64List() {
    Clear();
}

void TInt64List::Error(const char *Msg, std::int32_t Data) {
    throw EListError(ErrMsg(Msg, Data).toStdString());
}

QString TInt64List::ErrMsg(const char *Msg, std::int32_t Data) {
    return FormatText(QString::fromLatin1(Msg), {Data});
}

void TInt64List::CheckIndex(std::int32_t Index) const {
    if (Index < 0 || Index >= FCount) Error(SListIndexError, Index);
}

void TInt64List::CheckUnsorted() const {
    if (FSortType != Int64SortNone) Error(SSortedListError, 0);
}

void TInt64List::CheckNotEmpty() const {
    if (FCount == 0) Error(SEmptyListError, 0);
}

void TInt64List::Grow() {
    std::int32_t delta;
    if (FCapacity > 64)
        delta = FCapacity / 4;
    else if (FCapacity > 8)
        delta = 16;
    else
        delta = 4;
    SetCapacity(FCapacity + delta);
}

void TInt64List::SetCapacity(std::int32_t NewCapacity) {
    if (NewCapacity < FCount || NewCapacity > MaxListSize) Error(SListCapacityError, NewCapacity);
    if (NewCapacity == FCapacity) return;
    if (NewCapacity == 0) {
        std::free(FList);
        FList = nullptr;
    } else {
        void *p = std::realloc(FList, std::size_t(NewCapacity) * sizeof(std::int64_t));
        if (!p) throw std::bad_alloc();
        FList = static_cast<std::int64_t *>(p);
    }
    FCapacity = NewCapacity;
}

void TInt64List::SetCount(std::int32_t NewCount) {
    if (NewCount < 0 || NewCount > MaxListSize) Error(SListCountError, NewCount);
    if (NewCount > FCapacity) SetCapacity(NewCount);
    if (NewCount > FCount)
        std::memset(FList + FCount, 0, std::size_t(NewCount - FCount) * sizeof(std::int64_t));
    FCount = NewCount;
}

void TInt64List::InsertAt(std::int32_t Index, std::int64_t Item) {
    if (FCount == FCapacity) Grow();
    if (Index < FCount)
        std::memmove(FList + Index + 1, FList + Index,
                     std::size_t(FCount - Index) * sizeof(std::int64_t));
    FList[Index] = Item;
    ++FCount;
}

bool TInt64List::FindUp(std::int64_t Value, std::int32_t &Pos) const {
    Pos = 0;
    if (FCount == 0) return false;
    if (FList[0] == Value) return true;
    if (Value < FList[0]) return false;
    std::int32_t lo = 0, hi = FCount;
    do {
        const std::int32_t mid = lo + (hi - lo) / 2;
        Pos = mid;
        if (FList[mid] == Value) return true;
        if (Value < FList[mid])
            hi = mid;
        else
            lo = mid;
    } while (hi - lo > 1);
    if (FList[Pos] < Value) ++Pos;
    return false;
}

bool TInt64List::FindDown(std::int64_t Value, std::int32_t &Pos) const {
    Pos = 0;
    if (FCount == 0) return false;
    if (FList[0] == Value) return true;
    if (Value > FList[0]) return false;
    std::int32_t lo = 0, hi = FCount;
    do {
        const std::int32_t mid = lo + (hi - lo) / 2;
        Pos = mid;
        if (FList[mid] == Value) return true;
        if (Value > FList[mid])
            hi = mid;
        else
            lo = mid;
    } while (hi - lo > 1);
    if (FList[Pos] > Value) ++Pos;
    return false;
}

std::int32_t TInt64List::Add(std::int64_t Item) {
    std::int32_t pos;
    switch (FSortType) {
    case Int64SortNone:
        pos = FCount;
        break;
    case Int64SortUpWithDup:
        FindUp(Item, pos);
        break;
    case Int64SortUpNoDup:
        if (FindUp(Item, pos)) return -1;
        break;
    case Int64SortDownWithDup:
        FindDown(Item, pos);
        break;
    case Int64SortDownNoDup:
    default:
        if (FindDown(Item, pos)) return -1;
        break;
    }
    InsertAt(pos, Item);
    return pos;
}

void TInt64List::Clear() {
    SetCount(0);
    SetCapacity(0);
}

void TInt64List::Delete(std::int32_t Index) {
    CheckIndex(Index);
    --FCount;
    if (Index < FCount)
        std::memmove(FList + Index, FList + Index + 1,
                     std::size_t(FCount - Index) * sizeof(std::int64_t));
}

void TInt64List::Exchange(std::int32_t Index1, std::int32_t Index2) {
    CheckUnsorted();
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[Index1], FList[Index2]);
}

TInt64List *TInt64List::Expand() {
    if (FCount == FCapacity) Grow();
    return this;
}

std::int32_t TInt64List::IndexOf(std::int64_t Value) const {
    std::int32_t pos;
    switch (FSortType) {
    case Int64SortNone: {
        const std::int64_t *end = FList + FCount;
        const std::int64_t *p = std::find(static_cast<const std::int64_t *>(FList), end, Value);
        return p == end ? -1 : std::int32_t(p - FList);
    }
    case Int64SortUpWithDup:
    case Int64SortUpNoDup:
        return FindUp(Value, pos) ? pos : -1;
    default:
        return FindDown(Value, pos) ? pos : -1;
    }
}

void TInt64List::Insert(std::int32_t Index, std::int64_t Item) {
    CheckUnsorted();
    if (Index < 0 || Index > FCount) Error(SListIndexError, Index);
    InsertAt(Index, Item);
}

void TInt64List::Move(std::int32_t CurIndex, std::int32_t NewIndex) {
    CheckUnsorted();
    if (CurIndex == NewIndex) return;
    CheckIndex(NewIndex);
    const std::int64_t item = Get(CurIndex);
    Delete(CurIndex);
    InsertAt(NewIndex, item);
}

std::int32_t TInt64List::Remove(std::int64_t Item) {
    const std::int32_t i = IndexOf(Item);
    if (i >= 0) Delete(i);
    return i;
}

void TInt64List::Pack(std::int64_t NilValue) {
    // Same result as deleting from the last index down, in one pass.
    std::int64_t *end = std::remove(FList, FList + FCount, NilValue);
    FCount = std::int32_t(end - FList);
}

void TInt64List::Sort(const TInt64ListSortCompare &Compare) {
    if (FCount == 0) return;
    QuickSort(FList, 0, FCount - 1,
              [&Compare](std::int64_t a, std::int64_t b) { return Compare(a, b) < 0; });
}

namespace {

// Sorts by signed value, ascending or descending: one pass spreads the items
// over buckets by their top bits (about eight items a bucket), then each
// bucket is sorted on its own.
void bucketSort(std::int64_t *a, std::int32_t n, bool descending) {
    int bits = 8;
    while (bits < 20 && (std::int64_t(8) << bits) < n) ++bits;
    const std::size_t buckets = std::size_t(1) << bits;
    const std::uint64_t flip = descending ? ~0ULL >> 1 : 1ULL << 63;
    thread_local std::vector<std::uint64_t> scratch;
    thread_local std::vector<std::uint32_t> start;
    if (scratch.size() < std::size_t(n)) scratch.resize(std::size_t(n));
    start.assign(buckets + 1, 0);
    std::uint64_t *out = scratch.data();
    std::uint32_t *st = start.data();
    for (std::int32_t i = 0; i < n; ++i) ++st[((std::uint64_t(a[i]) ^ flip) >> (64 - bits)) + 1];
    for (std::size_t b = 0; b < buckets; ++b) st[b + 1] += st[b];
    for (std::int32_t i = 0; i < n; ++i) { // st[b] ends as the start of bucket b + 1
        const std::uint64_t k = std::uint64_t(a[i]) ^ flip;
        out[st[k >> (64 - bits)]++] = k;
    }
    std::uint64_t *lo = out;
    for (std::size_t b = 0; b < buckets; ++b) {
        std::uint64_t *hi = out + st[b];
        if (hi - lo > 16) {
            std::sort(lo, hi);
        } else {
            for (std::uint64_t *p = lo + 1; p < hi; ++p) { // few items: insertion sort
                const std::uint64_t k = *p;
                std::uint64_t *q = p;
                for (; q > lo && q[-1] > k; --q) *q = q[-1];
                *q = k;
            }
        }
        lo = hi;
    }
    for (std::int32_t i = 0; i < n; ++i) a[i] = std::int64_t(out[i] ^ flip);
    // Don't keep a huge list's scratch.
    if (scratch.size() > (1u << 21)) scratch = {};
    if (start.size() > (1u << 16) + 1) start = {};
}

// Integers have no identity beyond their value, so any correct sort gives the
// very result of the quicksort above; these cannot recurse deeply either.
void sortValues(std::int64_t *a, std::int32_t n, bool descending) {
    if (n < 256) {
        if (descending)
            std::sort(a, a + n, std::greater<std::int64_t>());
        else
            std::sort(a, a + n);
    } else {
        bucketSort(a, n, descending);
    }
}

} // namespace

void TInt64List::SortUp() {
    if (FCount == 0) return;
    sortValues(FList, FCount, false);
    FSortType = Int64SortNone;
}

void TInt64List::SortDown() {
    if (FCount == 0) return;
    sortValues(FList, FCount, true);
    FSortType = Int64SortNone;
}

void TInt64List::RemoveAdjacentDuplicates() {
    // One pass instead of a deletion per repeat; which of several equal values
    // survives makes no difference.
    if (FCount < 2) return;
    std::int64_t *end = std::unique(FList, FList + FCount);
    FCount = std::int32_t(end - FList);
}

void TInt64List::SetSortType(TInt64SortOption NewSortType) {
    if (NewSortType == FSortType) return;
    switch (NewSortType) {
    case Int64SortNone:
        break;
    case Int64SortUpWithDup:
        if (FSortType != Int64SortUpNoDup) SortUp();
        break;
    case Int64SortUpNoDup:
        if (FSortType != Int64SortUpWithDup) SortUp();
        RemoveAdjacentDuplicates();
        break;
    case Int64SortDownWithDup:
        if (FSortType != Int64SortDownNoDup) SortDown();
        break;
    case Int64SortDownNoDup:
        if (FSortType != Int64SortDownWithDup) SortDown();
        RemoveAdjacentDuplicates();
        break;
    }
    FSortType = NewSortType;
}

void TInt64List::ShowList(QStringList *StringList, const TInt64Descriptor &Descriptor,
                          bool ClearIt) const {
    if (!StringList) return;
    if (ClearIt) StringList->clear();
    StringList->reserve(StringList->size() + FCount);
    for (std::int32_t i = 0; i < FCount; ++i) {
        if (Descriptor)
            StringList->append(Descriptor(i, FList[i]));
        else
            StringList->append(QStringLiteral("Items[%1] = %2").arg(i).arg(FList[i]));
    }
}

std::int64_t TInt64List::Minimum() const {
    CheckNotEmpty();
    switch (FSortType) {
    case Int64SortNone:
        return *std::min_element(FList, FList + FCount);
    case Int64SortUpWithDup:
    case Int64SortUpNoDup:
        return FList[0];
    default:
        return FList[FCount - 1];
    }
}

std::int64_t TInt64List::Maximum() const {
    CheckNotEmpty();
    switch (FSortType) {
    case Int64SortNone:
        return *std::max_element(FList, FList + FCount);
    case Int64SortUpWithDup:
    case Int64SortUpNoDup:
        return FList[FCount - 1];
    default:
        return FList[0];
    }
}

std::int64_t TInt64List::Range() const {
    CheckNotEmpty();
    std::int64_t lo, hi;
    if (FSortType == Int64SortNone) {
        auto mm = std::minmax_element(FList, FList + FCount);
        lo = *mm.first;
        hi = *mm.second;
    } else {
        lo = Minimum();
        hi = Maximum();
    }
    return std::int64_t(std::uint64_t(hi) - std::uint64_t(lo));
}

long double TInt64List::Sum() const {
    long double s = 0;
    for (std::int32_t i = 0; i < FCount; ++i) s += static_cast<long double>(FList[i]);
    return s;
}

long double TInt64List::SumSqr() const {
    long double s = 0;
    for (std::int32_t i = 0; i < FCount; ++i) {
        const long double v = static_cast<long double>(FList[i]);
        s += v * v;
    }
    return s;
}

long double TInt64List::Average() const {
    CheckNotEmpty();
    return Sum() / FCount;
}

template <typename Fill>
bool TInt64List::Reload(std::int32_t NewCount, TInt64SortOption StoredMode,
                        bool KeepCurrentSortType, Fill fill) {
    const TInt64SortOption own = FSortType;
    Clear();
    FSortType = Int64SortNone;
    SetCount(NewCount);
    if (!fill(FList)) {
        Clear();
        return false;
    }
    if (KeepCurrentSortType && StoredMode != own)
        SetSortType(own);
    else
        FSortType = StoredMode;
    return true;
}

void TInt64List::CopyFrom(const TInt64List &List, bool KeepCurrentSortType) {
    if (&List == this) return;
    Reload(List.FCount, List.FSortType, KeepCurrentSortType, [&List](std::int64_t *dst) {
        if (List.FCount)
            std::memcpy(dst, List.FList, std::size_t(List.FCount) * sizeof(std::int64_t));
        return true;
    });
}

void TInt64List::CopyTo(TInt64List &List, bool KeepDestSortType) const {
    List.CopyFrom(*this, KeepDestSortType);
}

std::int64_t TInt64List::LifoPop(std::int64_t DefValue) {
    if (FCount == 0) return DefValue;
    const std::int64_t v = Last();
    Delete(FCount - 1);
    return v;
}

std::int64_t TInt64List::FifoPop(std::int64_t DefValue) {
    if (FCount == 0) return DefValue;
    const std::int64_t v = First();
    Delete(0);
    return v;
}

std::int64_t TInt64List::Get(std::int32_t Index) const {
    CheckIndex(Index);
    return FList[Index];
}

void TInt64List::Put(std::int32_t Index, std::int64_t Item) {
    CheckIndex(Index);
    FList[Index] = Item;
}

// Stream layout, little-endian: count (int32), sort mode (first byte of four),
// then count items of int64.
void TInt64List::SaveToStream(QIODevice &S) const {
    unsigned char header[8] = {};
    qToLittleEndian<std::int32_t>(FCount, header);
    header[4] = FSortType;
    QByteArray data(reinterpret_cast<const char *>(header), 8);
    data.resize(8 + qsizetype(FCount) * 8);
    for (std::int32_t i = 0; i < FCount; ++i)
        qToLittleEndian<std::int64_t>(FList[i], data.data() + 8 + qsizetype(i) * 8);
    if (S.write(data) != data.size())
        throw EFileError("Stream write error: " + S.errorString().toStdString());
}

void TInt64List::LoadFromStream(QIODevice &S, bool KeepCurrentSortType) {
    unsigned char header[8];
    if (S.read(reinterpret_cast<char *>(header), 8) != 8) {
        Clear();
        Error(SReadError, 0);
    }
    const std::int32_t count = qFromLittleEndian<std::int32_t>(header);
    const unsigned mode = header[4];
    if (mode > Int64SortDownNoDup) {
        Clear();
        Error(SSortModeError, std::int32_t(mode));
    }
    if (count < 0 || count > MaxListSize) {
        Clear();
        Error(SListCountError, count);
    }
    // A stream that cannot hold the announced items is refused before the
    // storage is allocated.
    const qint64 need = qint64(count) * 8;
    if (!S.isSequential() && S.size() - S.pos() < need) {
        Clear();
        Error(SReadError, count);
    }
    const bool complete =
        Reload(count, TInt64SortOption(mode), KeepCurrentSortType, [&](std::int64_t *dst) {
            char *bytes = reinterpret_cast<char *>(dst);
            qint64 got = 0;
            while (got < need) {
                const qint64 n = S.read(bytes + got, need - got);
                if (n > 0)
                    got += n;
                else if (n < 0 || !S.waitForReadyRead(-1))
                    break;
            }
            if (got != need) return false;
            for (std::int32_t i = 0; i < count; ++i)
                dst[i] = qFromLittleEndian<std::int64_t>(dst + i);
            return true;
        });
    if (!complete) Error(SReadError, count);
}

void TInt64List::SaveToFile(const QString &FileName) const {
    QFile f(FileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2")
                             .arg(FileName, f.errorString())
                             .toStdString());
    SaveToStream(f);
}

void TInt64List::LoadFromFile(const QString &FileName, bool KeepCurrentSortType) {
    QFile f(FileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2")
                             .arg(FileName, f.errorString())
                             .toStdString());
    LoadFromStream(f, KeepCurrentSortType);
}

} // namespace corvane
