// Text normalisation, stop words, shingle sets and their similarity.
#pragma once

#include <memory>

#include <QString>
#include <QStringView>

#include "core/Int64List.h"

namespace corvane {

// The distinct CRC-64 hashes of a text's shingles, descending, no repeats.
class TShingleHashTable : public TInt64List {};

// Line breaks halved once, punctuation and typographic marks to spaces, runs
// of spaces to one, blanks and control characters trimmed from both ends.
void NormalizeText(QString &Text);

// Language "ru", "en" or empty (both lists); any other value matches no word
// but the empty one.
bool IsStopWord(QStringView Word, QStringView Lang);

// Shingles of N words (N >= 1) of Text, hashed with the CRC-64 of their UTF-16
// text; stop words are passed over when SkipStopWords is set.
std::unique_ptr<TShingleHashTable> BuildShingles(const QString &Text, QStringView Lang, int N,
                                                 bool SkipStopWords);

// Dice coefficient of the two sets in percent; 100 for two empty sets.
double ShingleSimilarity(const TInt64List &A, const TInt64List &B);

// The same value from the count of common hashes and the two set sizes.
inline double DiceFromCounts(std::int64_t Common, std::int64_t CountA, std::int64_t CountB) {
    if (CountA + CountB == 0) return 100;
    return double(2 * Common) / double(CountA + CountB) * 100;
}

} // namespace corvane
