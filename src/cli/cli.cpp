#include "cli/cli.h"

#include <cstdio>

#include <QFile>

#include "core/i18n.h"
#include "core/shingles.h"

namespace corvane::cli {

void printOut(const QString &Text) {
    const QByteArray b = Text.toUtf8();
    std::fwrite(b.constData(), 1, std::size_t(b.size()), stdout);
    std::fflush(stdout);
}

void printErr(const QString &Text) {
    const QByteArray b = Text.toUtf8() + '\n';
    std::fwrite(b.constData(), 1, std::size_t(b.size()), stderr);
}

bool Args::flag(const QString &name) {
    const qsizetype i = rest.indexOf(name);
    if (i < 0) return false;
    rest.removeAt(i);
    return true;
}

QStringList Args::values(const QString &name) {
    QStringList out;
    const QString prefix = name + u'=';
    for (qsizetype i = 0; i < rest.size();) {
        if (rest[i] == name) {
            if (i + 1 >= rest.size())
                throw UsageError{QStringLiteral("option %1 needs a value").arg(name)};
            out << rest[i + 1];
            rest.remove(i, 2);
        } else if (rest[i].startsWith(prefix)) {
            out << rest[i].mid(prefix.size());
            rest.removeAt(i);
        } else {
            ++i;
        }
    }
    return out;
}

QString Args::value(const QString &name, const QString &def) {
    const QStringList v = values(name);
    if (v.size() > 1) throw UsageError{QStringLiteral("option %1 given more than once").arg(name)};
    return v.isEmpty() ? def : v.front();
}

int Args::intValue(const QString &name, int def, int min, int max) {
    const QString v = value(name);
    if (v.isNull()) return def;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < min || n > max)
        throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                             .arg(name)
                             .arg(min)
                             .arg(max)
                             .arg(v)};
    return n;
}

bool Args::onOff(const QString &name, bool def) {
    const QString v = value(name);
    if (v.isNull()) return def;
    if (v == u"on") return true;
    if (v == u"off") return false;
    throw UsageError{QStringLiteral("%1 must be \"on\" or \"off\", not \"%2\"").arg(name, v)};
}

QStringList Args::positionals() {
    QStringList out;
    bool optionsEnded = false;
    for (const QString &a : rest) {
        if (!optionsEnded && a == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.startsWith(u'-') && a.size() > 1) {
            throw UsageError{QStringLiteral("unknown option %1").arg(a)};
        } else {
            out << a;
        }
    }
    rest.clear();
    return out;
}

QByteArray readFileBytes(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw UsageError{QStringLiteral("cannot read %1: %2").arg(path, f.errorString())};
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw UsageError{QStringLiteral("cannot read %1: %2").arg(path, f.errorString())};
    return bytes;
}

QString readTextFile(const QString &path) {
    QByteArray bytes = readFileBytes(path);
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    const QString text = QString::fromUtf8(bytes);
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

bool readTwoTexts(const QStringList &files, QString (&texts)[2]) {
    for (int i = 0; i < 2; ++i) texts[i] = readTextFile(files[i]);
    static const char *const emptyWarning[2] = {
        N_("Текст #1 не имеет содержимого для сравнения"),
        N_("Текст #2 не имеет содержимого для сравнения"),
    };
    for (int i = 0; i < 2; ++i) {
        NormalizeText(texts[i]);
        if (texts[i].isEmpty()) {
            printErr(_(emptyWarning[i]));
            return false;
        }
    }
    return true;
}

} // namespace corvane::cli
