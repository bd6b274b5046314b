// Writes a static web site of real English text for the whole-check
// benchmarks: N pages under FOLDER/site/, each with the site's header, menu
// and footer, and paragraphs of sentences drawn from the licence texts that
// every Debian system carries (/usr/share/common-licenses). One page in five
// is a near copy of the page before it. Also writes FOLDER/urls.txt (the
// pages under BASE-URL, one a line) and FOLDER/files.txt (their paths).
// With --linked, every page also links to the pages numbered 2i and 2i+1 and
// back to page i/2, so that the whole site is reached from page-1.html (the
// crawl benchmark).
//
//   corvane_gen_site FOLDER PAGES BASE-URL [--linked]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace {

QStringList Sentences() {
    QStringList out;
    const QDir dir(QStringLiteral("/usr/share/common-licenses"));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) continue;
        QString text = QString::fromUtf8(f.readAll()).simplified();
        text.replace(QRegularExpression(QStringLiteral("[<>&]")), QStringLiteral(" "));
        for (const QString &s : text.split(QRegularExpression(QStringLiteral("(?<=[.;:])\\s+")))) {
            const qsizetype words = s.count(u' ') + 1;
            if (words >= 6 && words <= 60) out << s;
        }
    }
    return out;
}

bool Write(const QString &Path, const QByteArray &Bytes) {
    QFile f(Path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(Bytes) == Bytes.size();
}

} // namespace

int main(int argc, char **argv) {
    const bool linked = argc == 5 && std::string(argv[4]) == "--linked";
    if (argc != 4 && !linked) {
        std::fprintf(stderr, "usage: corvane_gen_site FOLDER PAGES BASE-URL [--linked]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int pages = std::atoi(argv[2]);
    const QString base = QString::fromLocal8Bit(argv[3]);
    const QStringList sentences = Sentences();
    if (sentences.size() < 100 || pages < 1) {
        std::fprintf(stderr, "corvane_gen_site: no licence texts to draw from\n");
        return 1;
    }
    QDir().mkpath(folder + QStringLiteral("/site"));
    std::mt19937 rng(20261210);
    auto pick = [&] { return sentences[qsizetype(rng() % std::uint32_t(sentences.size()))]; };
    auto paragraphs = [&](int count) {
        QString out;
        for (int p = 0; p < count; ++p) {
            out += QStringLiteral("<p>");
            for (int s = 0, n = 2 + int(rng() % 4); s < n; ++s) out += pick() + u' ';
            out += QStringLiteral("</p>\n");
        }
        return out;
    };
    // A linked site's menu leads to its pages only, so that a crawl and the
    // site have the same pages.
    const QString header =
        QStringLiteral("<header><h1>Corvane benchmark site</h1><p>Free software licences, "
                       "explained one page at a time for people who publish their code.</p>"
                       "</header>\n") +
        (linked ? QStringLiteral("<nav><ul><li><a href=\"/page-1.html\">Home</a></li></ul></nav>\n")
                : QStringLiteral("<nav><ul><li><a href=\"/\">Home</a></li><li><a href=\"/a\">"
                                 "About the licences</a></li><li><a href=\"/c\">Contact the "
                                 "editors</a></li></ul></nav>\n"));
    const QString footer = QStringLiteral(
        "<footer><p>Every text on this site is quoted from the licences themselves and may be "
        "copied under their own terms.</p></footer>\n");
    QByteArray urls, files;
    QString previous;
    for (int i = 1; i <= pages; ++i) {
        QString body = (i % 5 == 0 && !previous.isEmpty()) ? previous + paragraphs(1)
                                                           : paragraphs(4 + int(rng() % 8));
        previous = body;
        if (linked) {
            body += QStringLiteral("<ul class=\"related\">");
            for (const int to : {i / 2, 2 * i, 2 * i + 1})
                if (to >= 1 && to <= pages)
                    body += QStringLiteral("<li><a href=\"page-%1.html\">Page %1</a></li>").arg(to);
            body += QStringLiteral("</ul>\n");
        }
        const QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                            "<title>Page %1</title></head><body>\n")
                                 .arg(i) +
                             header + QStringLiteral("<main><h2>Page %1</h2>\n").arg(i) + body +
                             QStringLiteral("</main>\n") + footer +
                             QStringLiteral("</body></html>\n");
        const QString name = QStringLiteral("page-%1.html").arg(i);
        const QString path = folder + QStringLiteral("/site/") + name;
        if (!Write(path, html.toUtf8())) {
            std::fprintf(stderr, "corvane_gen_site: cannot write %s\n", qPrintable(path));
            return 1;
        }
        urls += (base + name).toUtf8() + '\n';
        files += path.toUtf8() + '\n';
    }
    if (!Write(folder + QStringLiteral("/urls.txt"), urls) ||
        !Write(folder + QStringLiteral("/files.txt"), files))
        return 1;
    return 0;
}
