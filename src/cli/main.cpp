// corvane-cli: the checking engine without the window.
#include <clocale>
#include <exception>

#include "cli/cli.h"

using namespace corvane::cli;

namespace {

const Command *const Commands[] = {
    &CompareCommand, &DiffCommand, &CheckCommand, &ExtractCommand, &SharedCommand, &HistoryCommand,
};

QString usage() {
    QString text = QStringLiteral("Usage: corvane-cli COMMAND [OPTIONS]\n\nCommands:\n");
    for (const Command *c : Commands)
        text += QStringLiteral("  ") + QString::fromUtf8(c->usage) + QStringLiteral("\n\n");
    text += QStringLiteral("  --help, -h    this text (also after a command)\n"
                           "  --version     the program's version\n");
    return text;
}

} // namespace

int main(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty()) {
        printErr(usage().trimmed());
        return ExitUsage;
    }
    const QString command = args.takeFirst();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        printOut(usage());
        return ExitOk;
    }
    if (command == u"--version") {
        printOut(QStringLiteral("corvane-cli " CORVANE_VERSION "\n"));
        return ExitOk;
    }
    try {
        for (const Command *c : Commands) {
            if (command != QLatin1StringView(c->name)) continue;
            if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
                printOut(QStringLiteral("Usage: corvane-cli ") + QString::fromUtf8(c->usage) +
                         u'\n');
                return ExitOk;
            }
            return c->run(args);
        }
        throw UsageError{
            QStringLiteral("unknown command \"%1\"; see corvane-cli --help").arg(command)};
    } catch (const UsageError &e) {
        printErr(QStringLiteral("corvane-cli: ") + e.message);
        return ExitUsage;
    } catch (const std::exception &e) {
        printErr(QStringLiteral("corvane-cli: ") + QString::fromUtf8(e.what()));
        return ExitFailure;
    }
}
