// Small task lists with text for the site analyses, and the measures they are
// checked against, computed here from their definitions.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <set>
#include <vector>

#include "core/shingles.h"
#include "engine/typeslib.h"

namespace corvane::test {

struct ListGuard {
    ~ListGuard() { FreeObjects(&list); }
    TURLTaskInfoList list;
};

inline constexpr int N = 3;

// A task as a check leaves it: trOk with its normalised text and its set, or
// failed with neither.
inline TURLTaskInfo *addPage(TURLTaskInfoList &list, const QString &text,
                             TURLTaskResult result = trOk) {
    const std::int32_t num = std::int32_t(list.size() + 1);
    auto *t = new TURLTaskInfo(QStringLiteral("https://shop.example/p%1").arg(num), num);
    t->InitResults();
    t->TaskResults->TaskResult = result;
    if (result == trOk) {
        QString normalized = text;
        NormalizeText(normalized);
        t->TaskResults->ExtractedText = normalized;
        t->TaskResults->HashTable = BuildShingles(normalized, {}, N, false);
    } else {
        t->TaskResults->ErrorCode = 404;
    }
    list.append(t);
    return t;
}

// A task whose set is given directly.
inline TURLTaskInfo *addSet(TURLTaskInfoList &list, const std::vector<std::int64_t> &hashes) {
    const std::int32_t num = std::int32_t(list.size() + 1);
    auto *t = new TURLTaskInfo(QStringLiteral("https://shop.example/s%1").arg(num), num);
    t->InitResults();
    t->TaskResults->TaskResult = trOk;
    t->TaskResults->ExtractedText = QStringLiteral("text");
    auto table = std::make_unique<TShingleHashTable>();
    for (const std::int64_t h : hashes) table->Add(h);
    table->SetSortType(Int64SortDownNoDup);
    t->TaskResults->HashTable = std::move(table);
    list.append(t);
    return t;
}

inline std::set<std::int64_t> setOf(const TURLTaskInfo *t) {
    const TShingleHashTable &h = *t->TaskResults->HashTable;
    return std::set<std::int64_t>(h.List(), h.List() + h.Count());
}

// The Dice coefficient in percent, 100 for two empty sets.
inline double dice(const std::set<std::int64_t> &a, const std::set<std::int64_t> &b) {
    if (a.empty() && b.empty()) return 100;
    std::vector<std::int64_t> common;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
    return double(2 * std::int64_t(common.size())) / double(a.size() + b.size()) * 100;
}

inline QString words(std::initializer_list<const char *> parts) {
    QString s;
    for (const char *p : parts) s += QString::fromUtf8(p);
    return s;
}

} // namespace corvane::test
