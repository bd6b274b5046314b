// Writes a static web site of real English text for the whole-check
// benchmarks: N pages under FOLDER/site/, each with the site's header, menu
// and footer, and paragraphs of sentences drawn from the licence texts that
// every Debian system carries (/usr/share/common-licenses). One page in five
// is a near copy of the page before it. Also writes FOLDER/urls.txt (the
// pages under BASE-URL, one a line) and FOLDER/files.txt (their paths).
//
//   corvane_gen_site FOLDER PAGES BASE-URL
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
    if (argc != 4) {
        std::fprintf(stderr, "usage: corvane_gen_site FOLDER PAGES BASE-URL\n");
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
    const QString header =
        QStringLiteral("<header><h1>Corvane benchmark site</h1><p>Free software licences, "
                       "explained one page at a time for people who publish their code.</p>"
                       "</header>\n<nav><ul><li><a href=\"/\">Home</a></li><li><a href=\"/a\">"
                       "About the licences</a></li><li><a href=\"/c\">Contact the editors</a>"
                       "</li></ul></nav>\n");
    const QString footer = QStringLiteral(
        "<footer><p>Every text on this site is quoted from the licences themselves and may be "
        "copied under their own terms.</p></footer>\n");
    QByteArray urls, files;
    QString previous;
    for (int i = 1; i <= pages; ++i) {
        QString body = (i % 5 == 0 && !previous.isEmpty()) ? previous + paragraphs(1)
                                                           : paragraphs(4 + int(rng() % 8));
        previous = body;
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
