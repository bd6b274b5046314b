#include "engine/urlimport.h"

#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include "core/i18n.h"

namespace corvane {

namespace {

// Lines longer than this cannot be addresses; they are passed over.
constexpr qsizetype MaxTextLine = 1024 * 1024;

QString upperLatin(QString s) {
    for (QChar &c : s)
        if (c.unicode() >= u'a' && c.unicode() <= u'z') c = QChar(c.unicode() - u'a' + u'A');
    return s;
}

// Cuts a text list into lines while it is read block by block. The first
// bytes choose the decoder: UTF-16 by its byte-order mark, else the locale's
// codeset (a UTF-8 byte-order mark is dropped by the decoder). Lines end at
// CR LF, LF or CR, also when the pair is split between two blocks.
class TTextLines {
public:
    // line(const QString &) returns false to stop; so do Feed and Finish then.
    template <class F> bool Feed(QByteArrayView bytes, F &&line) {
        if (!FDecoder.isValid()) {
            FHead += bytes;
            if (FHead.size() < 3) return true;
            return start(line);
        }
        return split(FDecoder(bytes), line);
    }
    template <class F> bool Finish(F &&line) {
        if (!FDecoder.isValid() && !start(line)) return false;
        if (FSkipping || FLine.isEmpty()) return true;
        const bool go = line(FLine);
        FLine.clear();
        return go;
    }

private:
    template <class F> bool start(F &line) {
        QStringDecoder::Encoding e = QStringDecoder::System;
        if (FHead.startsWith("\xFF\xFE"))
            e = QStringDecoder::Utf16LE;
        else if (FHead.startsWith("\xFE\xFF"))
            e = QStringDecoder::Utf16BE;
        else if (FHead.startsWith("\xEF\xBB\xBF"))
            e = QStringDecoder::Utf8;
        FDecoder = QStringDecoder(e);
        const QByteArray head = std::exchange(FHead, QByteArray());
        return split(FDecoder(head), line);
    }

    template <class F> bool split(const QString &text, F &line) {
        const qsizetype n = text.size();
        qsizetype begin = 0;
        if (FAfterCR && n > 0) {
            FAfterCR = false;
            if (text[0] == u'\n') begin = 1;
        }
        for (qsizetype i = begin; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c != u'\n' && c != u'\r') continue;
            if (!take(QStringView(text).sliced(begin, i - begin), line)) return false;
            if (c == u'\r') {
                if (i + 1 == n)
                    FAfterCR = true;
                else if (text[i + 1] == u'\n')
                    ++i;
            }
            begin = i + 1;
        }
        if (!FSkipping) {
            if (FLine.size() + (n - begin) > MaxTextLine) {
                FLine.clear();
                FSkipping = true;
            } else {
                FLine += QStringView(text).sliced(begin);
            }
        }
        return true;
    }

    template <class F> bool take(QStringView tail, F &line) {
        if (FSkipping) {
            FSkipping = false;
            return true;
        }
        if (FLine.size() + tail.size() > MaxTextLine) {
            FLine.clear();
            return true;
        }
        if (FLine.isEmpty()) return line(tail.toString());
        FLine += tail;
        const bool go = line(FLine);
        FLine.clear();
        return go;
    }

    QStringDecoder FDecoder;
    QByteArray FHead;
    QString FLine;
    bool FAfterCR = false;
    bool FSkipping = false;
};

} // namespace

bool IsIgnoredURL(const QString &s) {
    if (s.isEmpty()) return true;
    if (upperLatin(s.left(4)) != QStringLiteral("HTTP")) return true;
    if (s.contains(QChar(u'\0'))) return true;
    qsizetype i = s.size() - 1;
    while (i >= 0 && s[i] != u'.' && s[i] != u'\\' && s[i] != u':') --i;
    QString ending;
    if (i >= 0 && s[i] == u'.') ending = upperLatin(s.mid(i));
    static const QStringList ignored = {QStringLiteral(".PNG"), QStringLiteral(".JPG"),
                                        QStringLiteral(".GIF"), QStringLiteral(".JPEG"),
                                        QStringLiteral(".ICO"), QStringLiteral(".JS"),
                                        QStringLiteral(".CSS")};
    return StrInArray(ending, ignored);
}

TURLImport::TURLImport(TURLTaskInfoList &List, bool KeepOld, std::int32_t Limit)
    : FList(List), FLimit(Limit) {
    if (KeepOld)
        FList.FreeResults();
    else
        FreeObjects(&FList);
    FCounter = std::int32_t(FList.size());
    FKeys.reserve(FList.size() + 1024);
    for (const TURLTaskInfo *t : FList)
        if (t) FKeys.insert(URLKey(t->URL));
}

TURLImport::TAddOutcome TURLImport::Add(const QString &Candidate, bool Filter) {
    if (FLimitReached) return aoLimit;
    if (Filter && IsIgnoredURL(Candidate)) return aoIgnored;
    ++FPassed;
    const QString key = URLKey(Candidate);
    if (FKeys.contains(key)) return aoDuplicate;
    if (FList.size() >= FLimit) {
        FLimitReached = true;
        return aoLimit;
    }
    ++FCounter;
    FList.append(new TURLTaskInfo(Candidate, FCounter));
    FKeys.insert(key);
    ++FAdded;
    return aoAdded;
}

QString URLLimitMessage() {
    return _("Ограничение: не более 10 000 URL");
}

namespace {

QString NoURLNotice() {
    return _("Файл не содержит ни одного URL");
}

QString EntitiesRefused() {
    return _("Файл объявляет сущности XML (<!ENTITY>), недопустимые в sitemap");
}

// The reader's own text for an entity beyond its expansion limit, as this
// Qt words it. With the limit at 0 it means that a declared entity is used
// inside the DTD (in a default attribute value), which the reader expands
// before the DTD token that lists the declarations.
const QString &ExpansionLimitError() {
    static const QString text = [] {
        QXmlStreamReader r(QStringLiteral("<!DOCTYPE a [<!ENTITY e \"%1\">"
                                          "<!ATTLIST a b CDATA \"&e;\">]><a/>")
                               .arg(QString(64, u'x')));
        r.setEntityExpansionLimit(0);
        while (!r.atEnd()) r.readNext();
        return r.errorString();
    }();
    return text;
}

// Characters of the token the reader stands on, for the sitemap's budget.
// Attributes count only after a DTD: without one each is written out in the
// file, and copying them out of the reader would cost more than the rest.
qint64 TokenChars(const QXmlStreamReader &r, bool afterDtd) {
    qint64 n = r.text().size();
    if (afterDtd && r.tokenType() == QXmlStreamReader::StartElement) {
        for (const QXmlStreamAttribute &a : r.attributes())
            n += a.qualifiedName().size() + a.value().size();
        for (const QXmlStreamNamespaceDeclaration &d : r.namespaceDeclarations())
            n += d.prefix().size() + d.namespaceUri().size();
    }
    return n;
}

} // namespace

QStringList ClipboardCandidates(const QString &Text) {
    QStringList out;
    qsizetype start = 0;
    const qsizetype n = Text.size();
    auto take = [&](qsizetype end) {
        qsizetype b = start, e = end;
        while (b < e && Text[b].unicode() <= 32) ++b;
        while (e > b && Text[e - 1].unicode() <= 32) --e;
        out << Text.mid(b, e - b);
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = Text[i].unicode();
        if (c != u'\r' && c != u'\n') continue;
        take(i);
        if (c == u'\r' && i + 1 < n && Text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) take(n);
    return out;
}

QStringList TextFileCandidates(const QByteArray &Bytes) {
    QStringList out;
    auto line = [&](const QString &l) {
        out << l;
        return true;
    };
    TTextLines lines;
    lines.Feed(Bytes, line);
    lines.Finish(line);
    return out;
}

TImportOutcome ImportClipboardText(TURLTaskInfoList &List, const QString &Text, bool KeepOld) {
    TURLImport import(List, KeepOld);
    for (const QString &c : ClipboardCandidates(Text))
        if (import.Add(c) == TURLImport::aoLimit) break;
    TImportOutcome o;
    o.Added = import.AddedCount();
    o.LimitReached = import.LimitReached();
    o.LogLine = _("Данные вставлены из буфера обмена");
    return o;
}

TImportOutcome ImportTextFile(TURLTaskInfoList &List, const QString &Path, bool KeepOld,
                              std::int32_t Limit) {
    TImportOutcome o;
    if (!QFileInfo(Path).isFile()) {
        o.Status = isNotFound;
        o.Message = _("Файл с данными для импорта не найден!");
        return o;
    }
    TURLImport import(List, KeepOld, Limit);
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        o.Status = isReadError;
        o.Message = f.errorString();
        return o;
    }
    // Read in blocks and stop as soon as the list is full, so a huge file
    // costs no more than the part that is used.
    TTextLines lines;
    auto line = [&](const QString &l) { return import.Add(l) != TURLImport::aoLimit; };
    bool more = true;
    while (more) {
        const QByteArray block = f.read(1 << 20);
        if (block.isEmpty()) {
            if (f.error() != QFileDevice::NoError) {
                o.Status = isReadError;
                o.Message = f.errorString();
                o.Added = import.AddedCount();
                return o;
            }
            break;
        }
        more = lines.Feed(block, line);
    }
    if (more) lines.Finish(line);
    o.Added = import.AddedCount();
    o.LimitReached = import.LimitReached();
    o.LogLine = _("Данные загружены");
    if (import.PassedCount() == 0) o.Notice = NoURLNotice();
    return o;
}

TImportStatus ReadSitemap(const QByteArray &Xml,
                          const std::function<bool(const QString &)> &Candidate, QString &ErrorText,
                          int *ChildCount, bool *IsIndex) {
    if (IsIndex) *IsIndex = false;
    if (Xml.size() > MaxSitemapBytes) {
        ErrorText = _("Размер файла превышает допустимый предел");
        return isParseError;
    }
    QXmlStreamReader r(Xml);
    // A sitemap needs no entities: a DTD that declares any is refused below,
    // and none is expanded inside the DTD before that (an entity of one
    // character still is, which cannot make text longer than the file).
    r.setEntityExpansionLimit(0);
    const qint64 budget = SitemapTextPerByte * Xml.size() + SitemapTextSlack;
    qint64 produced = 0;
    bool afterDtd = false;
    int depth = 0, children = 0;
    bool isUrlset = false, isIndex = false, inUrl = false, locDone = false, inLoc = false,
         locValid = false;
    bool stopped = false;
    QString loc;
    while (!r.atEnd()) {
        const QXmlStreamReader::TokenType token = r.readNext();
        produced += TokenChars(r, afterDtd);
        if (produced > budget) {
            ErrorText = _("Файл порождает больше текста, чем допустимо для его размера");
            return isParseError;
        }
        switch (token) {
        case QXmlStreamReader::DTD:
            afterDtd = true;
            if (!r.entityDeclarations().isEmpty()) {
                ErrorText = EntitiesRefused();
                return isParseError;
            }
            break;
        case QXmlStreamReader::StartElement:
            if (++depth > MaxSitemapDepth) {
                ErrorText = _("Слишком глубокая вложенность элементов");
                return isParseError;
            }
            if (depth == 1) {
                isUrlset = r.qualifiedName() == u"urlset" || r.name() == u"urlset";
                isIndex = IsIndex &&
                          (r.qualifiedName() == u"sitemapindex" || r.name() == u"sitemapindex");
                if (isIndex) *IsIndex = true;
            } else if (depth == 2 && (isUrlset || isIndex)) {
                ++children;
                inUrl = r.name() == (isIndex ? u"sitemap" : u"url");
                locDone = false;
            } else if (depth == 3 && inUrl && !locDone &&
                       (r.qualifiedName() == u"loc" || r.name() == u"loc")) {
                inLoc = true;
                locValid = true;
                loc.clear();
            } else if (inLoc) {
                locValid = false;
            }
            break;
        case QXmlStreamReader::Characters:
            if (inLoc && depth == 3) {
                loc += r.text();
                if (loc.size() > MaxLocLength) {
                    ErrorText = _("Слишком длинное содержимое тега loc");
                    return isParseError;
                }
            }
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::EntityReference:
            if (inLoc) locValid = false;
            break;
        case QXmlStreamReader::EndElement:
            if (inLoc && depth == 3) {
                inLoc = false;
                locDone = true;
                if (Candidate && !stopped)
                    stopped = !Candidate(locValid && !loc.isEmpty() ? loc : QString());
            } else if (depth == 2) {
                inUrl = false;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (r.hasError()) {
        ErrorText = r.errorString() == ExpansionLimitError() ? EntitiesRefused() : r.errorString();
        return isParseError;
    }
    if (ChildCount) *ChildCount = children;
    return isUrlset || isIndex ? isOk : isNoUrlset;
}

TImportOutcome ImportSitemap(TURLTaskInfoList &List, const QString &Path, bool KeepOld,
                             const std::function<void(int, int)> &Progress, std::int32_t Limit) {
    TImportOutcome o;
    QByteArray xml;
    QString error;
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
    } else if (f.size() > MaxSitemapBytes) {
        error = _("Размер файла превышает допустимый предел");
    } else {
        xml = f.readAll();
        if (f.error() != QFileDevice::NoError) error = f.errorString();
    }
    int children = 0;
    // The whole document is checked before the list is touched.
    TImportStatus status = error.isEmpty() ? ReadSitemap(xml, {}, error, &children) : isParseError;
    if (status == isParseError) {
        o.Status = isParseError;
        o.Message = _("Ошибка при разборе файла: ") + error;
        return o;
    }
    TURLImport import(List, KeepOld, Limit);
    if (status == isNoUrlset) {
        o.Status = isNoUrlset;
        o.Message = _("Файл данных имеет неприемлимый формат (нет тега \"urlset\")");
        return o;
    }
    int position = 0;
    if (Progress) Progress(0, children);
    ReadSitemap(
        xml,
        [&](const QString &candidate) {
            const bool go = import.Add(candidate) != TURLImport::aoLimit;
            if (Progress) Progress(++position, children);
            return go;
        },
        error);
    o.Added = import.AddedCount();
    o.LimitReached = import.LimitReached();
    o.LogLine = _("Данные загружены");
    if (import.PassedCount() == 0) o.Notice = NoURLNotice();
    return o;
}

TImportOutcome ImportLocalFiles(TURLTaskInfoList &List, const QStringList &Paths, bool KeepOld,
                                std::int32_t Limit) {
    TURLImport import(List, KeepOld, Limit);
    for (const QString &p : Paths) {
        const QString full = QDir::toNativeSeparators(QFileInfo(p).absoluteFilePath());
        if (import.Add(QStringLiteral("file://") + full, false) == TURLImport::aoLimit) break;
    }
    TImportOutcome o;
    o.Added = import.AddedCount();
    o.LimitReached = import.LimitReached();
    o.LogLine = _("Файлы загруженны");
    return o;
}

} // namespace corvane
