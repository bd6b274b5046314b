#include "engine/htmlreport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QCryptographicHash>
#include <QHash>
#include <QSaveFile>
#include <QUrl>

#include "core/i18n.h"
#include "core/shinglespans.h"
#include "engine/grades.h"
#include "engine/htmlreport_assets.h"
#include "engine/report.h"
#include "net/pagetransfer.h"

namespace corvane {

QString HtmlEscaped(QStringView Text) {
    QString out;
    out.reserve(Text.size() + Text.size() / 8);
    for (const QChar c : Text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        case u'\t':
        case u'\n':
        case u'\r':
            out += c;
            break;
        default:
            if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
                out += QChar(0xFFFD);
            else
                out += c;
        }
    }
    return out;
}

bool IsReportLink(const QString &URL) {
    if (!URL.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) &&
        !URL.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return false;
    const QUrl url(URL);
    return url.isValid() && !url.host().isEmpty();
}

namespace {

QString esc(QStringView Text) {
    return HtmlEscaped(Text);
}

// A task's grade class ("g", "m", "b"), "f" for a failed check, "" for none.
QString gradeClass(const TURLTaskInfo &Task) {
    const TURLTaskResults *r = Task.TaskResults.get();
    if (!r) return {};
    if (r->TaskResult != trOk || r->ErrorCode != 0) return QStringLiteral("f");
    const double u = r->Uniqueness;
    if (u < 0 || u > 100) return {};
    if (u < 65) return QStringLiteral("b");
    if (u <= 85) return QStringLiteral("m");
    return QStringLiteral("g");
}

QString number(double Value, int Decimals) {
    return QString::number(Value, 'f', Decimals);
}

// The address as a link when it may be one, else as text.
QString addressHtml(const QString &URL) {
    const QString text = esc(URL);
    if (!IsReportLink(URL)) return text;
    return QStringLiteral("<a href=\"%1\" rel=\"noopener noreferrer\">%1</a>").arg(text);
}

QString percentCell(double Value) {
    return Value < 0 ? QString() : esc(PercentText(Value).trimmed());
}

class TWriter {
public:
    explicit TWriter(const THtmlReport &Report) : FReport(Report) {
        if (FReport.List)
            for (qsizetype i = 0; i < FReport.List->size(); ++i)
                if (const TURLTaskInfo *t = FReport.List->at(i)) {
                    FByNum.insert(t->Num, t);
                    FPosition.insert(t->Num, std::int32_t(i));
                }
        if (FReport.Analysis && FReport.List && FReport.Analysis->Valid(*FReport.List))
            FGroups = &FReport.Analysis->Groups();
    }

    QString Html() {
        Summary();
        FixFirst();
        AllPages();
        Details();
        FOut += QStringLiteral("<footer>") + esc(ReportFooter()) + QStringLiteral("</footer>\n");
        return Head() + FOut + QStringLiteral("<script>") + QString::fromUtf8(report_assets::Js) +
               QStringLiteral("</script>\n</body>\n</html>\n");
    }

private:
    static QString Hash(const char *Text) {
        return QString::fromLatin1(
            QCryptographicHash::hash(QByteArray(Text), QCryptographicHash::Sha256).toBase64());
    }

    QString Head() const {
        const QString lang =
            CatalogLanguage() == u"en" ? QStringLiteral("en") : QStringLiteral("ru");
        // Only the report's own style sheet and script apply; nothing is
        // fetched and nothing written into the page can run.
        const QString policy = QStringLiteral("default-src 'none'; style-src 'sha256-%1'; "
                                              "script-src 'sha256-%2'; base-uri 'none'; "
                                              "form-action 'none'")
                                   .arg(Hash(report_assets::Css), Hash(report_assets::Js));
        return QStringLiteral(
                   "<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n"
                   "<meta http-equiv=\"Content-Security-Policy\" content=\"%2\">\n"
                   "<meta name=\"referrer\" content=\"no-referrer\">\n"
                   "<meta name=\"viewport\" content=\"width=device-width, "
                   "initial-scale=1\">\n<title>%3</title>\n<style>")
                   .arg(lang, policy, esc(_("Отчет об уникальности страниц"))) +
               QString::fromUtf8(report_assets::Css) +
               QStringLiteral("</style>\n</head>\n<body>\n");
    }

    void Setting(const QString &Label, const QString &Value) {
        FOut += QStringLiteral("<tr><th>") + esc(Label) + QStringLiteral("<td>") + esc(Value) +
                QStringLiteral("</tr>\n");
    }

    void Summary() {
        const TRunSettings &s = FReport.Settings;
        const TAnalysisSettings &a = FReport.Analysis ? FReport.Analysis->Settings() : s.Analysis;
        TGradeCounts grades;
        int checked = 0, failed = 0;
        int bins[10] = {};
        for (const TURLTaskInfo *t : FReport.Rows) {
            const TURLTaskResults *r = t ? t->TaskResults.get() : nullptr;
            if (!r) continue;
            ++checked;
            if (r->TaskResult != trOk || r->ErrorCode != 0) {
                ++failed;
                continue;
            }
            CountGrade(grades, true, r->ErrorCode, r->Uniqueness);
            if (r->Uniqueness >= 0 && r->Uniqueness <= 100)
                ++bins[std::min(9, int(r->Uniqueness / 10))];
        }

        FOut += QStringLiteral("<header>\n<h1>") + esc(_("Отчет об уникальности страниц")) +
                QStringLiteral("</h1>\n</header>\n<section id=\"summary\">\n<h2>") +
                esc(_("Сводка")) + QStringLiteral("</h2>\n<div class=\"summary\">\n");
        FOut += QStringLiteral("<table class=\"settings\">\n");
        Setting(_("Дата проверки:"), FReport.Date.isValid()
                                         ? FReport.Date.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                         : QString());
        Setting(_("Алгоритм:"), s.AlgVer == 2
                                    ? _("Сравнение путем определения \"значимого\" текста")
                                    : _("Сравнение полного контента страницы"));
        Setting(_("Длина \"шингла\", слов:"), QString::number(s.ShingleLength));
        Setting(_("Не учитывать стоп-слова:"), s.IgnoreStopWords ? _("да") : _("нет"));
        Setting(_("Порог дубликатов, %:"), QString::number(a.DuplicateThreshold));
        Setting(_("Шаблон сайта:"),
                FormatMsg(a.IgnoreTemplate
                              ? N_("фрагменты не менее чем на %d%% страниц, исключены из "
                                   "уникальности")
                              : N_("фрагменты не менее чем на %d%% страниц, учтены в уникальности"),
                          {a.TemplatePercent}));
        Setting(_("User-Agent:"),
                s.UserAgent.isEmpty() ? QString::fromLatin1(CorvaneUserAgent) : s.UserAgent);
        Setting(_("Проверено страниц:"), QString::number(checked));
        Setting(_("С ошибками:"), QString::number(failed));
        FOut += QStringLiteral("</table>\n");
        Pie(grades);
        Histogram(bins);
        FOut += QStringLiteral("</div>\n</section>\n");
    }

    void Pie(const TGradeCounts &Counts) {
        QString title = _("Распределение\r\nуникальности");
        title.replace(QLatin1String("\r\n"), QLatin1String(" "));
        FOut += QStringLiteral("<figure class=\"chart\">\n<figcaption>") + esc(title) +
                QStringLiteral("</figcaption>\n<svg width=\"140\" height=\"140\" viewBox=\"0 0 "
                               "140 140\" role=\"img\">");
        const int values[grCount] = {Counts.Good, Counts.Medium, Counts.Bad};
        const char *classes[grCount] = {"sg", "sm", "sb"};
        const int total = Counts.Total();
        constexpr double cx = 70, cy = 70, radius = 66;
        if (total == 0)
            FOut += QStringLiteral("<circle class=\"se\" cx=\"70\" cy=\"70\" r=\"66\"/>");
        // From twelve o'clock, clockwise, as the window's chart.
        double angle = -std::numbers::pi / 2;
        for (int g = 0; g < grCount && total; ++g) {
            if (values[g] == 0) continue;
            if (values[g] == total) {
                FOut += QStringLiteral("<circle class=\"%1\" cx=\"70\" cy=\"70\" r=\"66\"/>")
                            .arg(QLatin1String(classes[g]));
                break;
            }
            const double sweep = 2 * std::numbers::pi * values[g] / total;
            const double x1 = cx + radius * std::cos(angle), y1 = cy + radius * std::sin(angle);
            angle += sweep;
            const double x2 = cx + radius * std::cos(angle), y2 = cy + radius * std::sin(angle);
            FOut += QStringLiteral("<path class=\"%1\" d=\"M70 70L%2 %3A66 66 0 %4 1 %5 %6Z\"/>")
                        .arg(QLatin1String(classes[g]), number(x1, 2), number(y1, 2),
                             QString::number(sweep > std::numbers::pi ? 1 : 0), number(x2, 2),
                             number(y2, 2));
        }
        FOut += QStringLiteral("</svg>\n<ul class=\"legend\">");
        const QStringList labels = GradeLabels(Counts);
        for (int g = 0; g < grCount; ++g)
            FOut += QStringLiteral("<li><svg width=\"10\" height=\"10\"><rect class=\"%1\" "
                                   "width=\"10\" height=\"10\"/></svg>")
                        .arg(QLatin1String(classes[g])) +
                    esc(labels[g]) +
                    QStringLiteral(" <span class=\"muted\">(%1)</span></li>").arg(values[g]);
        FOut += QStringLiteral("</ul>\n</figure>\n");
    }

    void Histogram(const int (&Bins)[10]) {
        const int most = std::max(1, *std::max_element(std::begin(Bins), std::end(Bins)));
        constexpr int left = 10, top = 14, height = 110, barStep = 30, barWidth = 24;
        FOut += QStringLiteral("<figure class=\"chart\">\n<figcaption>") +
                esc(_("Гистограмма уникальности")) +
                QStringLiteral("</figcaption>\n<svg width=\"320\" height=\"160\" viewBox=\"0 0 320 "
                               "160\" role=\"img\">");
        for (int i = 0; i < 10; ++i) {
            const int h = int(std::lround(double(Bins[i]) * height / most));
            const int x = left + i * barStep;
            if (h > 0)
                FOut += QStringLiteral("<rect class=\"bar\" x=\"%1\" y=\"%2\" width=\"%3\" "
                                       "height=\"%4\"/>")
                            .arg(x + 3)
                            .arg(top + height - h)
                            .arg(barWidth)
                            .arg(h);
            FOut += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>")
                        .arg(x + 3 + barWidth / 2)
                        .arg(top + height - h - 3)
                        .arg(Bins[i]);
        }
        FOut += QStringLiteral("<line class=\"axis\" x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\"/>")
                    .arg(left)
                    .arg(top + height)
                    .arg(left + 10 * barStep + 6);
        for (int i = 0; i <= 10; ++i)
            FOut += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>")
                        .arg(left + 3 + i * barStep - 3)
                        .arg(top + height + 14)
                        .arg(i * 10);
        FOut += QStringLiteral("<text x=\"160\" y=\"156\" text-anchor=\"middle\">") +
                esc(_("Уникальность, %")) + QStringLiteral("</text></svg>\n</figure>\n");
    }

    // Similarity of the tasks at two list positions.
    double Similarity(std::int32_t From, std::int32_t To) const {
        const TURLTaskResults *r = FReport.List->at(From)->TaskResults.get();
        if (!r || To >= r->SimilArray.Count()) return 0;
        return r->SimilArray.Item(To).Similarity;
    }

    void FixFirst() {
        FOut += QStringLiteral("<section id=\"fix\">\n<h2>") +
                esc(_("Что исправить в первую очередь")) +
                QStringLiteral("</h2>\n<p class=\"note\">") +
                esc(_("Группы почти одинаковых страниц, в которых не каждая страница называет "
                      "представителя группы своей канонической ссылкой или закрыта от индексации "
                      "(noindex), от большей к меньшей.")) +
                QStringLiteral("</p>\n");
        int shown = 0;
        const TURLTaskInfoList &list = *FReport.List;
        for (const TDuplicateGroup &g :
             FGroups ? FGroups->Groups : std::vector<TDuplicateGroup>{}) {
            if (g.Handled() || g.Representative < 0) continue;
            ++shown;
            const TURLTaskInfo &rep = *list[g.Representative];
            FOut += QStringLiteral("<div class=\"group\" id=\"g%1\">\n<h3>").arg(g.Number) +
                    esc(FormatMsg(N_("Группа %d: страниц %d, не обработано %d"),
                                  {g.Number, int(g.Members.size()), int(g.Unhandled.size())})) +
                    QStringLiteral("</h3>\n<p>") + esc(_("Представитель:")) +
                    QStringLiteral(" <a href=\"#d%1\">%1</a> ").arg(rep.Num) +
                    addressHtml(rep.URL) + QStringLiteral("</p>\n<table>\n<thead><tr><th>") +
                    esc(_("№")) + QStringLiteral("<th>") + esc(_("URL")) +
                    QStringLiteral("<th class=\"num\">") + esc(_("Сходство с представителем, %")) +
                    QStringLiteral("<th>") + esc(_("Canonical")) +
                    QStringLiteral("</tr></thead>\n<tbody>\n");
            std::vector<std::int32_t> members;
            for (std::int32_t m : g.Members)
                if (m != g.Representative) members.push_back(m);
            std::stable_sort(members.begin(), members.end(), [&](std::int32_t a, std::int32_t b) {
                return Similarity(a, g.Representative) > Similarity(b, g.Representative);
            });
            for (std::int32_t m : members) {
                const TURLTaskInfo &t = *list[m];
                const TURLTaskResults *r = t.TaskResults.get();
                QString canonical = r ? esc(r->Signals.Canonical) : QString();
                if (r && r->Signals.NoIndex)
                    canonical += QLatin1String(canonical.isEmpty() ? "noindex" : " (noindex)");
                FOut += QStringLiteral("<tr><td><a href=\"#d%1\">%1</a><td>").arg(t.Num) +
                        addressHtml(t.URL) + QStringLiteral("<td class=\"num\">") +
                        percentCell(Similarity(m, g.Representative)) + QStringLiteral("<td>") +
                        canonical + QStringLiteral("</tr>\n");
            }
            FOut += QStringLiteral("</tbody>\n</table>\n</div>\n");
        }
        if (!shown)
            FOut += QStringLiteral("<p>") + esc(_("Необработанных групп дубликатов нет.")) +
                    QStringLiteral("</p>\n");
        FOut += QStringLiteral("</section>\n");
    }

    void AllPages() {
        FOut +=
            QStringLiteral("<section id=\"pages\">\n<h2>") + esc(_("Все страницы")) +
            QStringLiteral("</h2>\n<div class=\"tools\" id=\"tools\" hidden>\n<label>") +
            esc(_("Фильтр:")) +
            QStringLiteral(" <input type=\"search\" id=\"filter\" autocomplete=\"off\"></label>\n"
                           "<select id=\"grade\"><option value=\"\">") +
            esc(_("Все оценки")) + QStringLiteral("<option value=\"g\">") + esc(_("Хорошо")) +
            QStringLiteral("<option value=\"m\">") + esc(_("Средне")) +
            QStringLiteral("<option value=\"b\">") + esc(_("Плохо")) +
            QStringLiteral("<option value=\"f\">") + esc(_("Ошибки")) +
            QStringLiteral("</select>\n<span>") + esc(_("Показано строк:")) +
            QStringLiteral(" <span id=\"shown\">%1</span> / %1</span>\n<span class=\"note\">")
                .arg(FReport.Rows.size()) +
            esc(_("Щелчок по заголовку сортирует таблицу, щелчок по строке открывает "
                  "подробности страницы.")) +
            (FReport.Before
                 ? QStringLiteral(
                       "</span>\n</div>\n<table id=\"list\" class=\"before\">\n<thead><tr>")
                 : QStringLiteral("</span>\n</div>\n<table id=\"list\">\n<thead><tr>"));
        const char *captions[] = {
            N_("№"),      N_("URL"),       N_("Код ответа"), N_("Уникальность, %"), N_("Было, %"),
            N_("Группа"), N_("Шаблон, %"), N_("Слов"),       N_("Canonical")};
        const bool numeric[] = {true, false, false, true, true, true, true, true, false};
        for (std::size_t c = 0; c < std::size(captions); ++c) {
            if (c == 4 && !FReport.Before) continue; // the earlier check's column
            FOut += QStringLiteral("<th%1>").arg(numeric[c] ? QStringLiteral(" data-type=\"n\"")
                                                            : QString()) +
                    esc(_(captions[c]));
        }
        FOut += QStringLiteral("</tr></thead>\n<tbody>\n");
        int inPart = 0;
        for (const TURLTaskInfo *t : FReport.Rows) {
            if (!t) continue;
            if (inPart++ == HtmlRowsPerPart) {
                FOut += QStringLiteral("</tbody>\n<tbody>\n");
                inPart = 1;
            }
            const TURLTaskResults *r = t->TaskResults.get();
            const QString grade = gradeClass(*t);
            FOut += grade.isEmpty() ? QStringLiteral("<tr>")
                    : grade == u"f" ? QStringLiteral("<tr class=\"f\" data-g=\"f\">")
                                    : QStringLiteral("<tr data-g=\"%1\">").arg(grade);
            FOut += QStringLiteral("<td>%1<td>").arg(t->Num) + addressHtml(t->URL) +
                    QStringLiteral("<td>") + (r ? esc(r->ErrorText()) : QString());
            FOut += grade.isEmpty() || grade == u"f"
                        ? QStringLiteral("<td>")
                        : QStringLiteral("<td class=\"%1\">").arg(grade);
            FOut += esc(t->UniquenessText().trimmed());
            if (FReport.Before) {
                // Empty for a page the earlier check did not have.
                const auto b = FReport.Before->constFind(URLKey(t->URL));
                FOut += QStringLiteral("<td>") +
                        (b == FReport.Before->cend() || *b < 0 ? QString() : percentCell(*b));
            }
            const bool analysed = r && r->TemplateShare >= 0;
            FOut += QStringLiteral("<td>") +
                    (analysed && r->Group ? QStringLiteral("<a href=\"#g%1\">%1</a>").arg(r->Group)
                                          : QString());
            FOut += QStringLiteral("<td>") + (analysed ? percentCell(r->TemplateShare) : QString());
            FOut += QStringLiteral("<td>") + (r && r->Signals.WordCount >= 0
                                                  ? QString::number(r->Signals.WordCount)
                                                  : QString());
            FOut += QStringLiteral("<td>") + (r ? esc(r->Signals.Canonical) : QString()) +
                    QStringLiteral("</tr>\n");
        }
        FOut += QStringLiteral("</tbody>\n</table>\n</section>\n");
    }

    // The page's own text around the passages it shares with another page,
    // the passages marked, at most HtmlPairTextLimit characters of them.
    void SharedText(const QString &Text, const TURLTaskInfo &Other) {
        const TURLTaskResults *o = Other.TaskResults.get();
        if (!o || !o->HashTable || Text.isEmpty()) return;
        if (FSharedBudget <= 0) {
            FBudgetCut = true;
            return;
        }
        const TAnalysisSettings &a = FReport.Analysis->Settings();
        const TShingleHashTable &other = *o->HashTable;
        const std::vector<TPassage> passages =
            CoveredPassages(Text, {}, a.ShingleLength, a.SkipStopWords,
                            [&other](std::int64_t h) { return other.IndexOf(h) >= 0; });
        if (passages.empty()) return;
        constexpr qsizetype context = 40;
        const std::vector<TTextWord> words = SplitShingleWords(Text);
        QString html;
        qsizetype used = 0;
        bool cut = false;
        qsizetype end = 0; // where the last piece written ended
        for (const TPassage &p : passages) {
            const qsizetype begin = words[std::size_t(p.FirstWord)].Begin;
            const qsizetype stop = words[std::size_t(p.FirstWord + p.WordCount - 1)].End;
            const qsizetype before = std::max(end, begin - context);
            if (before > end) html += QStringLiteral("… ");
            html += esc(QStringView(Text).mid(before, begin - before));
            qsizetype length = stop - begin;
            if (used + length > HtmlPairTextLimit) {
                length = HtmlPairTextLimit - used;
                cut = true;
            }
            html += QStringLiteral("<mark>") + esc(QStringView(Text).mid(begin, length)) +
                    QStringLiteral("</mark>");
            used += length;
            end = begin + length;
            if (cut) break;
            const qsizetype after = std::min(Text.size(), stop + context);
            const qsizetype next =
                &p == &passages.back()
                    ? after
                    : std::min(after, words[std::size_t((&p + 1)->FirstWord)].Begin);
            html += esc(QStringView(Text).mid(stop, next - stop));
            end = next;
        }
        if (end < Text.size()) html += QStringLiteral(" …");
        FSharedBudget -= used;
        FOut += QStringLiteral("<h4>") +
                esc(FormatMsg(N_("Общий текст со страницей %d (сходство %s%%)"),
                              {Other.Num, PercentText(Similarity(FPosition.value(Other.Num),
                                                                 FPosition.value(FCurrentNum)))
                                              .trimmed()})) +
                QStringLiteral("</h4>\n<div class=\"shared\">") + html + QStringLiteral("</div>\n");
        if (cut)
            FOut += QStringLiteral("<p class=\"cut\">") +
                    esc(FormatMsg(N_("Текст сокращен: показаны первые %d знаков общих фрагментов."),
                                  {int(HtmlPairTextLimit)})) +
                    QStringLiteral("</p>\n");
    }

    void Details() {
        FOut += QStringLiteral("<section id=\"details\">\n<h2>") +
                esc(_("Подробности по страницам")) + QStringLiteral("</h2>\n");
        for (const TURLTaskInfo *t : FReport.Rows) {
            if (!t) continue;
            const TURLTaskResults *r = t->TaskResults.get();
            FCurrentNum = t->Num;
            FOut += QStringLiteral("<details id=\"d%1\"><summary>%1 ").arg(t->Num) + esc(t->URL) +
                    QStringLiteral("</summary>\n");
            if (!r) {
                FOut += QStringLiteral("<p>") + esc(_("Страница не проверялась.")) +
                        QStringLiteral("</p>\n</details>\n");
                continue;
            }
            if (r->TaskResult != trOk || r->ErrorCode != 0) {
                FOut += QStringLiteral("<p>") +
                        esc(FormatMsg(N_("Проверка страницы закончилась ошибкой: %s"),
                                      {r->ErrorText()})) +
                        QStringLiteral("</p>\n</details>\n");
                continue;
            }
            const std::vector<TURLSimilRec> similar = r->MostSimilar(t->Num, HtmlSimilarCount);
            if (similar.empty()) {
                FOut += QStringLiteral("<p>") + esc(_("Похожих страниц нет.")) +
                        QStringLiteral("</p>\n");
            } else {
                FOut += QStringLiteral("<h4>") + esc(_("Самые похожие страницы")) +
                        QStringLiteral("</h4>\n<table class=\"sim\"><thead><tr><th>") +
                        esc(_("№")) + QStringLiteral("<th>") + esc(_("URL")) +
                        QStringLiteral("<th>") + esc(_("Сходство, %")) +
                        QStringLiteral("</tr></thead><tbody>\n");
                for (const TURLSimilRec &s : similar) {
                    const TURLTaskInfo *o = FByNum.value(s.Num);
                    FOut += QStringLiteral("<tr><td><a href=\"#d%1\">%1</a><td>").arg(s.Num) +
                            (o ? esc(o->URL) : QString()) + QStringLiteral("<td>") +
                            percentCell(s.Similarity) + QStringLiteral("</tr>\n");
                }
                FOut += QStringLiteral("</tbody></table>\n");
            }
            // What the page shares with its most similar pages of its group.
            if (FGroups && r->Group) {
                QString text;
                for (const TURLSimilRec &s : similar) {
                    const TURLTaskInfo *o = FByNum.value(s.Num);
                    if (!o || !o->TaskResults || o->TaskResults->Group != r->Group) continue;
                    if (text.isNull()) text = r->ExtractedText.Text();
                    SharedText(text, *o);
                }
            }
            FOut += QStringLiteral("</details>\n");
        }
        if (FBudgetCut)
            FOut += QStringLiteral("<p class=\"cut\">") +
                    esc(_("Общие фрагменты остальных пар страниц не показаны, чтобы файл "
                          "оставался небольшим.")) +
                    QStringLiteral("</p>\n");
        FOut += QStringLiteral("</section>\n");
    }

    const THtmlReport &FReport;
    const TDuplicateGroups *FGroups = nullptr;
    QHash<std::int32_t, const TURLTaskInfo *> FByNum;
    QHash<std::int32_t, std::int32_t> FPosition;
    std::int32_t FCurrentNum = 0;
    qsizetype FSharedBudget = HtmlSharedTextBudget;
    bool FBudgetCut = false;
    QString FOut;
};

} // namespace

QByteArray HtmlReportBytes(const THtmlReport &Report) {
    TURLTaskInfoList empty;
    THtmlReport report = Report;
    if (!report.List) report.List = &empty;
    return TWriter(report).Html().toUtf8();
}

bool WriteHtmlReport(const QString &Path, const THtmlReport &Report, QString &Error) {
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly) || file.write(HtmlReportBytes(Report)) < 0 ||
        !file.commit()) {
        Error = _("Невозможно создать файл экспорта!");
        return false;
    }
    return true;
}

} // namespace corvane
