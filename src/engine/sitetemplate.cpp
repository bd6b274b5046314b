#include "engine/sitetemplate.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <memory>

#include "engine/frequenthashes.h"
#include "engine/uniqueness.h"

namespace corvane {

namespace {

// The template's hashes for a test per hash of every page: open addressing,
// at most a quarter full, so that a miss (most hashes) ends at once.
class HashSet {
public:
    explicit HashSet(const std::vector<std::int64_t> &Hashes) {
        std::size_t cap = 64;
        while (cap < 4 * Hashes.size()) cap *= 2;
        shift = 64 - std::countr_zero(cap);
        cells.assign(cap, 0);
        for (const std::int64_t h : Hashes) {
            if (h == 0) {
                zero = true;
                continue;
            }
            std::size_t s = slot(h);
            while (cells[s] != 0 && cells[s] != h) s = (s + 1) & (cells.size() - 1);
            cells[s] = h;
        }
    }
    bool contains(std::int64_t h) const {
        if (h == 0) return zero;
        for (std::size_t s = slot(h);; s = (s + 1) & (cells.size() - 1)) {
            if (cells[s] == h) return true;
            if (cells[s] == 0) return false;
        }
    }

private:
    std::size_t slot(std::int64_t h) const {
        return std::size_t((std::uint64_t(h) * 0x9e3779b97f4a7c15ULL) >> shift);
    }
    std::vector<std::int64_t> cells; // 0: free (the hash 0 is kept aside)
    int shift = 58;
    bool zero = false;
};

} // namespace

bool TSiteTemplate::Contains(std::int64_t Hash) const {
    return std::binary_search(Hashes.begin(), Hashes.end(), Hash, std::greater<>());
}

TSiteTemplate FindSiteTemplate(const TURLTaskInfoList &List, int Percent) {
    TSiteTemplate t;
    t.Percent = std::clamp(Percent, 1, 100);
    const std::int32_t n = std::int32_t(List.size());
    // Each checked page's distinct hashes: the table itself when it is a set
    // as BuildShingles makes it, a sorted copy without repeats otherwise.
    std::vector<std::vector<std::int64_t>> copies;
    std::vector<std::span<const std::int64_t>> content;
    std::vector<std::int32_t> contentPos;
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskInfo *task = List[i];
        if (!task || !task->TaskResults || task->TaskResults->TaskResult != trOk ||
            !task->TaskResults->HashTable)
            continue;
        const TShingleHashTable &h = *task->TaskResults->HashTable;
        if (h.Count() == 0) continue;
        if (h.SortType() == Int64SortDownNoDup) {
            content.emplace_back(h.List(), std::size_t(h.Count()));
        } else {
            std::vector<std::int64_t> &c = copies.emplace_back(h.List(), h.List() + h.Count());
            std::sort(c.begin(), c.end(), std::greater<>());
            c.erase(std::unique(c.begin(), c.end()), c.end());
            content.emplace_back(c.data(), c.size());
        }
        contentPos.push_back(i);
    }
    t.ContentPages = std::int32_t(content.size());
    // At least Percent % of the pages: pages * 100 >= Percent * ContentPages.
    const std::int64_t share = (std::int64_t(t.Percent) * t.ContentPages + 99) / 100;
    t.MinPages = std::int32_t(std::max<std::int64_t>(TemplateMinPages, share));
    std::vector<std::int32_t> held;
    for (const TSharedHash &s : HashesHeldBy(content, t.MinPages, &held))
        t.Hashes.push_back(s.Hash);
    std::sort(t.Hashes.begin(), t.Hashes.end(), std::greater<>());

    t.TemplateHashes.assign(std::size_t(n), 0);
    t.Share.assign(std::size_t(n), 0);
    for (std::size_t k = 0; k < content.size(); ++k) {
        const std::int32_t i = contentPos[k], count = held[k];
        t.TemplateHashes[std::size_t(i)] = count;
        t.Share[std::size_t(i)] = 100.0 * count / double(content[k].size());
        if (count > 0 &&
            (t.RichestPage < 0 || count > t.TemplateHashes[std::size_t(t.RichestPage)] ||
             (count == t.TemplateHashes[std::size_t(t.RichestPage)] &&
              List[i]->Num < List[t.RichestPage]->Num)))
            t.RichestPage = i;
    }
    return t;
}

namespace {

struct ListGuard {
    ~ListGuard() { FreeObjects(&list); }
    TURLTaskInfoList list;
};

// A copy of the table without the template's hashes, in the same order and
// sort mode: what is kept moves up in place, and no sort is needed.
std::unique_ptr<TShingleHashTable> withoutTemplate(const TShingleHashTable &Table,
                                                   const HashSet &Template) {
    auto copy = std::make_unique<TShingleHashTable>();
    copy->CopyFrom(Table, false);
    std::int32_t kept = 0;
    for (std::int32_t r = 0; r < copy->Count(); ++r) {
        const std::int64_t h = copy->List()[r];
        if (Template.contains(h)) continue;
        if (kept != r) copy->Put(kept, h);
        ++kept;
    }
    copy->SetCount(kept);
    return copy;
}

} // namespace

TTemplateFreeUniqueness ComputeTemplateFreeUniqueness(const TURLTaskInfoList &List,
                                                      const TSiteTemplate &Template) {
    const std::int32_t n = std::int32_t(List.size());
    TTemplateFreeUniqueness out;
    // The template's hashes are those that MinPages of the checked pages
    // with content hold.
    std::vector<bool> content(static_cast<std::size_t>(n), false);
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskInfo *t = List[i];
        content[std::size_t(i)] = t && t->TaskResults && t->TaskResults->TaskResult == trOk &&
                                  t->TaskResults->HashTable &&
                                  t->TaskResults->HashTable->Count() > 0;
    }
    if (ComputeUniquenessWithout(List, content, Template.MinPages, out)) return out;

    out.Uniqueness.assign(std::size_t(n), -1);
    out.SimilArrays.assign(std::size_t(n), TURLSimilArray());
    out.Emptied.clear();
    const HashSet set(Template.Hashes);
    ListGuard copies;
    copies.list.reserve(n);
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskInfo *t = List[i];
        auto *c = t ? new TURLTaskInfo(*t) : nullptr;
        copies.list.append(c);
        if (!t || !t->TaskResults) continue;
        const TURLTaskResults &r = *t->TaskResults;
        c->InitResults();
        c->TaskResults->TaskResult = r.TaskResult;
        c->TaskResults->ErrorCode = r.ErrorCode;
        c->TaskResults->ExtractedText = r.ExtractedText;
        if (!r.HashTable) continue;
        auto table = withoutTemplate(*r.HashTable, set);
        if (table->Count() == 0 && r.HashTable->Count() > 0 && !r.ExtractedText.isEmpty()) {
            out.Emptied.push_back(i);
            continue; // no set: similarity 0 to all, uniqueness 100
        }
        c->TaskResults->HashTable = std::move(table);
    }
    ComputeUniqueness(copies.list);
    for (std::int32_t i = 0; i < n; ++i) {
        TURLTaskResults *r = copies.list[i] ? copies.list[i]->TaskResults.get() : nullptr;
        if (!r) continue;
        out.Uniqueness[std::size_t(i)] = r->Uniqueness;
        out.SimilArrays[std::size_t(i)] = std::move(r->SimilArray);
    }
    return out;
}

TTemplateText TemplatePassages(const TURLTaskInfoList &List, const TSiteTemplate &Template,
                               int ShingleLength, bool SkipStopWords) {
    TTemplateText out;
    out.Page = Template.RichestPage;
    if (out.Page < 0) return out;
    const QString text = List[out.Page]->TaskResults->ExtractedText.Text();
    out.Passages = CoveredPassages(text, {}, ShingleLength, SkipStopWords,
                                   [&](std::int64_t h) { return Template.Contains(h); });
    return out;
}

} // namespace corvane
