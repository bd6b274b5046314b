// Feeds arbitrary bytes to the charset detection, the significant-text
// extraction and the tokenizer (every tag reported, whitespace kept).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/htmltokenizer.h"
#include "core/htmltotext.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
    const QByteArray page(reinterpret_cast<const char *>(Data), qsizetype(Size));
    const TCharsetInfo info = DetectCharset(page);
    if (info.Charset != u"UTF8" && info.Charset != u"WINDOWS-1251" &&
        info.Charset != u"WINDOWS-1252")
        std::abort();
    const TExtractResult result = ExtractSignificantText(page);
    if (result.Code != 0) std::abort();

    const QString html = DecodePage(page, info.Charset);
    for (bool normalize : {false, true}) {
        THtmlTokenizer tok;
        tok.setInput(html, normalize);
        tok.setReportAllTags();
        qsizetype last = -1;
        while (tok.ParseNextPiece()) {
            // Pieces come in order, and decoded text never outgrows the input.
            if (tok.piecePosition() <= last || tok.piecePosition() >= html.size()) std::abort();
            last = tok.piecePosition();
            if (tok.pieceType() == ptText && tok.text().size() > html.size() - last) std::abort();
            if (tok.pieceType() == ptHtmlTag && tok.tagName().isEmpty()) std::abort();
        }
    }
    return 0;
}
