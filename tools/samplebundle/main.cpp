// vellacord-sample-bundle OUTPUT_DIR COUNT [--end EPOCH_SECONDS] [--seed N]
//
// Writes a realistic unified-log bundle of COUNT log messages, laid out as a
// Mac's `log collect` leaves it, for trying the application, screenshots and
// benchmarks. The same arguments always write the same bundle.

#include "tools/samplebundle/SampleStream.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include <cstdio>

namespace {

const char kUsage[] = R"(usage: vellacord-sample-bundle OUTPUT_DIR COUNT [--end EPOCH_SECONDS] [--seed N]

Writes a sample .logarchive of COUNT log messages (up to tens of millions)
into OUTPUT_DIR, which must be new or empty. The messages end at --end
(default: now) and span about two days, a few days for ten million; --seed
(default 1) picks another Mac's history. Equal arguments write equal bundles.
)";

int failWith(const QString& message)
{
    std::fprintf(stderr, "vellacord-sample-bundle: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    SampleBundle::Options options;
    options.end = double(QDateTime::currentSecsSinceEpoch());
    for (const char* flag : {"--end", "--seed"}) {
        const qsizetype at = args.indexOf(QLatin1String(flag));
        if (at < 0)
            continue;
        if (at + 1 >= args.size())
            return failWith(QStringLiteral("%1 needs a value").arg(QLatin1String(flag)));
        bool ok = false;
        if (flag[2] == 'e') {
            options.end = args[at + 1].toDouble(&ok);
            // The boot times in tracev3 headers are 32-bit seconds.
            if (!ok || !(options.end >= 1e9 && options.end <= 2.1e9))
                return failWith(QStringLiteral("--end takes seconds since 1970 between 1000000000 and 2100000000"));
        } else {
            options.seed = args[at + 1].toULongLong(&ok, 0);
            if (!ok)
                return failWith(QStringLiteral("--seed takes a non-negative integer"));
        }
        args.remove(at, 2);
    }
    if (args.size() != 2) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    bool ok = false;
    options.count = args[1].toULongLong(&ok);
    if (!ok || options.count == 0 || options.count > 1000000000)
        return failWith(QStringLiteral("COUNT must be a number of messages from 1 to 1000000000"));
    const QDir out(args[0]);
    if (out.exists() && !out.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return failWith(QStringLiteral("%1 exists and is not empty").arg(args[0]));

    const SampleBundle::World world;
    if (!world.error().isEmpty())
        return failWith(QStringLiteral("internal error: ") + world.error());
    SampleBundle::Summary summary;
    const ArchiveWriter::Report report = ArchiveWriter::writeBundle(makeBundle(world, options, &summary), args[0]);
    if (report.error)
        return failWith(*report.error);
    const auto date = [](double t) {
        return QDateTime::fromSecsSinceEpoch(qint64(t), Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    std::printf("%s: %llu log messages from %s to %s UTC, %d boots, %d tracev3 files\n", qPrintable(args[0]),
                static_cast<unsigned long long>(options.count), qPrintable(date(summary.start)), qPrintable(date(summary.end)),
                summary.boots, summary.files);
    return 0;
}
