#include "engine/siteanalysis.h"

#include <QUrl>

#include "core/crawlurl.h"
#include "core/settings.h"

namespace corvane {

static_assert(setting::DuplicateThreshold.Default == DefaultDuplicateThreshold);
static_assert(setting::TemplateShare.Default == DefaultTemplatePercent);

void TSiteAnalysis::Begin(const TURLTaskInfoList &List) {
    Clear();
    const qsizetype n = List.size();
    FResults.resize(std::size_t(n), nullptr);
    FBaseUniqueness.resize(std::size_t(n), -1);
    FBaseSimil.resize(std::size_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        const TURLTaskResults *r = List[i] ? List[i]->TaskResults.get() : nullptr;
        FResults[std::size_t(i)] = r;
        if (!r) continue;
        FBaseUniqueness[std::size_t(i)] = r->Uniqueness;
        FBaseSimil[std::size_t(i)] = r->SimilArray;
    }
}

bool TSiteAnalysis::Valid(const TURLTaskInfoList &List) const {
    if (FResults.empty() || qsizetype(FResults.size()) != List.size()) return false;
    for (qsizetype i = 0; i < List.size(); ++i)
        if (FResults[std::size_t(i)] != (List[i] ? List[i]->TaskResults.get() : nullptr))
            return false;
    return true;
}

void TSiteAnalysis::Clear() {
    *this = TSiteAnalysis();
}

bool TSiteAnalysis::Apply(TURLTaskInfoList &List, const TAnalysisSettings &Settings) {
    if (!Valid(List)) return false;
    FSettings = Settings;
    const std::size_t n = FResults.size();

    // The step's own values first.
    for (std::size_t i = 0; i < n; ++i) {
        TURLTaskResults *r = List[qsizetype(i)]->TaskResults.get();
        if (!r) continue;
        r->Uniqueness = FBaseUniqueness[i];
        r->SimilArray = FBaseSimil[i];
    }
    std::vector<TPageSignals> pageSignals(n);
    for (std::size_t i = 0; i < n; ++i)
        if (const TURLTaskResults *r = FResults[i]) pageSignals[i] = r->Signals;
    // A canonical link and an address name the same page when their crawl
    // forms agree.
    const auto normalize = [](const QString &Url) {
        const TCrawlLink link = canonicalCrawlUrl(QUrl(Url));
        return link.Verdict == lvOk ? link.Url : Url;
    };
    FTemplate = FindSiteTemplate(List, Settings.TemplatePercent);
    FEmptied.clear();
    if (Settings.IgnoreTemplate && !FTemplate.Hashes.empty()) {
        const TTemplateFreeUniqueness free = ComputeTemplateFreeUniqueness(List, FTemplate);
        for (std::size_t i = 0; i < n; ++i) {
            TURLTaskResults *r = List[qsizetype(i)]->TaskResults.get();
            if (!r || free.Uniqueness[i] < 0) continue;
            r->Uniqueness = free.Uniqueness[i];
            r->SimilArray = free.SimilArrays[i];
        }
        for (const std::int32_t i : free.Emptied) FEmptied.push_back(List[i]->Num);
    }
    // Groups follow the similarities the list shows: without the template
    // when it is left out.
    FGroups = FindDuplicateGroups(List, Settings.DuplicateThreshold, pageSignals, normalize);

    for (std::size_t i = 0; i < n; ++i) {
        TURLTaskResults *r = List[qsizetype(i)]->TaskResults.get();
        if (!r) continue;
        r->Group = FGroups.GroupOf[i];
        r->Representative = 0;
        r->GroupHandled = true;
        r->TemplateShare = r->TaskResult == trOk ? FTemplate.Share[i] : -1;
    }
    for (const TDuplicateGroup &g : FGroups.Groups) {
        const std::int32_t representative = List[g.Representative]->Num;
        for (const std::int32_t m : g.Members) {
            TURLTaskResults *r = List[m]->TaskResults.get();
            r->Representative = representative;
            r->GroupHandled = g.Handled();
        }
    }
    return true;
}

TTemplateText TSiteAnalysis::TemplateText(const TURLTaskInfoList &List) const {
    if (!Valid(List)) return {};
    return TemplatePassages(List, FTemplate, FSettings.ShingleLength, FSettings.SkipStopWords);
}

} // namespace corvane
