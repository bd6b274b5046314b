// Growable array of signed 64-bit integers that can keep itself sorted, with
// or without duplicates; the storage of every shingle-hash set.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include <QString>
#include <QStringList>

class QIODevice;

namespace corvane {

class EListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// File errors of SaveToFile / LoadFromFile.
class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The numeric values are stored in files.
enum TInt64SortOption : std::uint8_t {
    Int64SortNone = 0,
    Int64SortUpWithDup = 1,
    Int64SortUpNoDup = 2,
    Int64SortDownWithDup = 3,
    Int64SortDownNoDup = 4,
};

using TInt64ListSortCompare = std::function<std::int32_t(std::int64_t Item1, std::int64_t Item2)>;
using TInt64Descriptor = std::function<QString(std::int32_t Index, std::int64_t Item)>;

class TInt64List {
public:
    static constexpr std::int32_t MaxListSize = 0x0FFFFFFF;

    TInt64List() = default;
    virtual ~TInt64List();
    TInt64List(const TInt64List &) = delete;
    TInt64List &operator=(const TInt64List &) = delete;

    std::int32_t Add(std::int64_t Item);
    void Clear();
    void SaveToStream(QIODevice &S) const;
    void LoadFromStream(QIODevice &S, bool KeepCurrentSortType);
    void SaveToFile(const QString &FileName) const;
    void LoadFromFile(const QString &FileName, bool KeepCurrentSortType);
    void Delete(std::int32_t Index);
    static QString ErrMsg(const char *Msg, std::int32_t Data);
    void Exchange(std::int32_t Index1, std::int32_t Index2);
    TInt64List *Expand();
    std::int64_t First() const { return Get(0); }
    std::int64_t Last() const { return Get(FCount - 1); }
    std::int32_t IndexOf(std::int64_t Value) const;
    void Insert(std::int32_t Index, std::int64_t Item);
    void Move(std::int32_t CurIndex, std::int32_t NewIndex);
    std::int32_t Remove(std::int64_t Item);
    void Pack(std::int64_t NilValue);
    void Sort(const TInt64ListSortCompare &Compare);
    void SortUp();
    void SortDown();
    void ShowList(QStringList *StringList, const TInt64Descriptor &Descriptor, bool ClearIt) const;
    std::int64_t Minimum() const;
    std::int64_t Maximum() const;
    std::int64_t Range() const;
    long double Sum() const;
    long double SumSqr() const;
    long double Average() const;
    void CopyFrom(const TInt64List &List, bool KeepCurrentSortType);
    void CopyTo(TInt64List &List, bool KeepDestSortType) const;
    std::int32_t Push(std::int64_t Value) { return Add(Value); }
    std::int64_t LifoPop(std::int64_t DefValue);
    std::int64_t FifoPop(std::int64_t DefValue);

    std::int64_t Get(std::int32_t Index) const;
    void Put(std::int32_t Index, std::int64_t Item);

    // Properties.
    std::int64_t Items(std::int32_t Index) const { return Get(Index); }
    const std::int64_t *List() const { return FList; }
    std::int32_t Capacity() const { return FCapacity; }
    void SetCapacity(std::int32_t NewCapacity);
    std::int32_t Count() const { return FCount; }
    void SetCount(std::int32_t NewCount);
    TInt64SortOption SortType() const { return FSortType; }
    void SetSortType(TInt64SortOption NewSortType);

protected:
    virtual void Grow();

private:
    [[noreturn]] static void Error(const char *Msg, std::int32_t Data);
    void CheckIndex(std::int32_t Index) const;
    void CheckUnsorted() const;
    void CheckNotEmpty() const;
    bool FindUp(std::int64_t Value, std::int32_t &Pos) const;
    bool FindDown(std::int64_t Value, std::int32_t &Pos) const;
    void InsertAt(std::int32_t Index, std::int64_t Item);
    void RemoveAdjacentDuplicates();
    // Clears, switches to Int64SortNone and takes Count items from fill();
    // then either re-sorts into the remembered mode or takes StoredMode.
    // When fill() fails the list is left empty and false is returned.
    template <typename Fill>
    bool Reload(std::int32_t Count, TInt64SortOption StoredMode, bool KeepCurrentSortType,
                Fill fill);

    std::int64_t *FList = nullptr;
    std::int32_t FCount = 0;
    std::int32_t FCapacity = 0;
    TInt64SortOption FSortType = Int64SortNone;
};

} // namespace corvane
