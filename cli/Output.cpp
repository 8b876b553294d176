// The command line's output streams, and the parsing every command shares.

#include "cli/Commands.h"

#include <QCommandLineParser>

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

std::optional<int> parseCommand(QCommandLineParser& parser, const QString& command, const QStringList& args)
{
    if (!parser.parse(QStringList{QStringLiteral("vellacord-cli ") + command} + args)) {
        err() << parser.errorText() << "\n" << parser.helpText();
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err() << "vellacord-cli " << command << ": unexpected argument '" << parser.positionalArguments().first() << "'\n";
        return 2;
    }
    return std::nullopt;
}

