// A synthetic site for measuring and testing the uniqueness step: shingle
// sets shaped like a real site's pages. Every page carries the site-wide
// boilerplate (a few pages a shorter variant of it); pages belong to sections
// whose template blocks are shared by hundreds of pages (each page shows most,
// not all, of its section's blocks); some pages come in near-duplicate pairs
// that share most of their own text; the rest of each page is its own.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/typeslib.h"

namespace corvane {

struct TSiteCorpusShape {
    std::int32_t Pages = 10000;
    std::int32_t HashesPerPage = 1000; // about
    std::int32_t Boilerplate = 150;
    std::int32_t Sections = 20;
    std::int32_t BlocksPerSection = 6;
    std::int32_t HashesPerBlock = 30;
    double BlockShown = 0.85;        // chance that a page shows one block of its section
    double NearDuplicateShare = 0.2; // share of pages in near-duplicate pairs
    double PairOverlap = 0.8;        // share of own text a pair has in common
    std::uint32_t Seed = 12345;
};

// Tasks numbered 1..Pages, each with trOk results, a non-empty text and its set.
inline void MakeSiteCorpus(TURLTaskInfoList &List, const TSiteCorpusShape &Shape) {
    std::mt19937_64 rng(Shape.Seed);
    auto fresh = [&](std::vector<std::int64_t> &out, std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i) out.push_back(std::int64_t(rng()));
    };
    std::vector<std::int64_t> boiler;
    fresh(boiler, Shape.Boilerplate);
    std::vector<std::vector<std::vector<std::int64_t>>> blocks(Shape.Sections);
    for (auto &section : blocks) {
        section.resize(Shape.BlockShown > 0 ? Shape.BlocksPerSection : 0);
        for (auto &b : section) fresh(b, Shape.HashesPerBlock);
    }
    std::uniform_real_distribution<double> coin(0, 1);
    std::vector<std::int64_t> partnerText;
    for (std::int32_t p = 0; p < Shape.Pages; ++p) {
        std::vector<std::int64_t> h;
        h.reserve(std::size_t(Shape.HashesPerPage) + 64);
        // A few pages (1 in 50) carry a shorter variant of the boilerplate.
        h.insert(h.end(), boiler.begin(), boiler.end() - (p % 50 == 7 ? Shape.Boilerplate / 3 : 0));
        if (Shape.Sections > 0) {
            for (const auto &b : blocks[std::size_t(rng() % std::uint64_t(Shape.Sections))])
                if (coin(rng) < Shape.BlockShown) h.insert(h.end(), b.begin(), b.end());
        }
        const std::int32_t own =
            std::max<std::int32_t>(0, Shape.HashesPerPage - std::int32_t(h.size()));
        // Pages in pairs: the second of a pair takes most of the first's own text.
        const bool paired = coin(rng) < Shape.NearDuplicateShare;
        if (paired && !partnerText.empty()) {
            const std::int32_t shared = std::int32_t(own * Shape.PairOverlap);
            h.insert(h.end(), partnerText.begin(),
                     partnerText.begin() + std::min<std::size_t>(shared, partnerText.size()));
            fresh(h, own - shared);
            partnerText.clear();
        } else {
            const std::size_t before = h.size();
            fresh(h, own);
            if (paired) partnerText.assign(h.begin() + std::ptrdiff_t(before), h.end());
        }
        auto table = std::make_unique<TShingleHashTable>();
        table->SetCapacity(std::int32_t(h.size()));
        for (const std::int64_t x : h) table->Add(x);
        table->SetSortType(Int64SortDownNoDup);
        auto *task =
            new TURLTaskInfo(QStringLiteral("https://site.example/page/%1").arg(p + 1), p + 1);
        task->InitResults();
        task->TaskResults->TaskResult = trOk;
        task->TaskResults->ExtractedText = QStringLiteral("text");
        task->TaskResults->HashTable = std::move(table);
        List.append(task);
    }
}

} // namespace corvane
