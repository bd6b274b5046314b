// What a page says about its own indexing, read from the page by the check.
#pragma once

#include <cstdint>

#include <QString>

namespace corvane {

struct TIndexingSignals {
    QString Canonical;           // the canonical URL the page names; empty when none
    bool NoIndex = false;        // the page asks not to be indexed
    std::int32_t WordCount = -1; // words of its normalised text (CountShingleWords); -1 unknown
};

} // namespace corvane
