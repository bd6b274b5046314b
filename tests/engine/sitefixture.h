// Small task lists with text for the site analyses, and the measures they are
// checked against, computed here from their definitions.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <map>
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

struct RefGroup {
    std::vector<std::int32_t> members;
    std::int32_t representative;
    double sum;
};

// Every pair of checked pages measured; groups are the connected sets of
// linked pages, numbered by size and then by their lowest task number.
// Hashes in leftOut are taken out of every set first.
inline std::vector<RefGroup> referenceGroups(const TURLTaskInfoList &list, int p,
                                             const std::set<std::int64_t> &leftOut = {}) {
    std::vector<std::int32_t> pages;
    std::map<std::int32_t, std::set<std::int64_t>> sets;
    for (std::int32_t i = 0; i < std::int32_t(list.size()); ++i)
        if (list[i]->TaskResults && list[i]->TaskResults->TaskResult == trOk &&
            list[i]->TaskResults->HashTable) {
            pages.push_back(i);
            sets[i] = setOf(list[i]);
            for (const std::int64_t h : leftOut) sets[i].erase(h);
        }
    std::map<std::int32_t, std::vector<std::int32_t>> links;
    for (const std::int32_t a : pages)
        for (const std::int32_t b : pages)
            if (a != b && dice(sets[a], sets[b]) >= p) links[a].push_back(b);
    std::set<std::int32_t> seen;
    std::vector<RefGroup> groups;
    for (const std::int32_t a : pages) {
        if (seen.count(a)) continue;
        std::set<std::int32_t> component{a};
        std::vector<std::int32_t> stack{a};
        while (!stack.empty()) {
            const std::int32_t x = stack.back();
            stack.pop_back();
            for (const std::int32_t y : links[x])
                if (component.insert(y).second) stack.push_back(y);
        }
        seen.insert(component.begin(), component.end());
        if (component.size() < 2) continue;
        RefGroup g{{component.begin(), component.end()}, -1, 0};
        for (const std::int32_t m : g.members) {
            double sum = 0;
            for (const std::int32_t o : g.members)
                if (o != m) sum += dice(sets[m], sets[o]);
            if (g.representative < 0 || sum > g.sum) { // members ascend: ties keep the lowest
                g.representative = m;
                g.sum = sum;
            }
        }
        groups.push_back(g);
    }
    std::stable_sort(groups.begin(), groups.end(), [](const RefGroup &a, const RefGroup &b) {
        return a.members.size() > b.members.size(); // found in order of their lowest page
    });
    return groups;
}

// How many checked pages hold each hash, counted page by page.
inline std::map<std::int64_t, int> holders(const TURLTaskInfoList &list) {
    std::map<std::int64_t, int> count;
    for (const TURLTaskInfo *t : list)
        if (t->TaskResults->TaskResult == trOk)
            for (const std::int64_t h : setOf(t)) ++count[h];
    return count;
}

inline int contentPages(const TURLTaskInfoList &list) {
    int c = 0;
    for (const TURLTaskInfo *t : list)
        c += t->TaskResults->TaskResult == trOk && t->TaskResults->HashTable->Count() > 0;
    return c;
}

inline std::set<std::int64_t> referenceTemplate(const TURLTaskInfoList &list, int percent) {
    const int c = contentPages(list);
    std::set<std::int64_t> t;
    for (const auto &[h, pages] : holders(list))
        if (pages * 100 >= percent * c && pages >= 3) t.insert(h);
    return t;
}

} // namespace corvane::test
