#include "app/ArchiveChoice.h"
#include "app/views/VellacordApp.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "logs/Platform.h"
#include "logs/RecentArchives.h"
#include "ui/AppIdentity.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMainWindow>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellacord"));
    QApplication::setOrganizationName(QStringLiteral("Corvistra"));
    QApplication::setOrganizationDomain(QStringLiteral("corvistra.com"));
    QApplication::setApplicationVersion(QStringLiteral(VELLACORD_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vellacord"));
    Platform::setDefaultDiagnostics(Platform::Diagnostics::warningsAndAbove);
    // One look on every desktop; the palette carries the theme.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(AppIdentity::icon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Log viewer and crash-report browser"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("archive"),
                                 QStringLiteral("A .logarchive bundle, or a .ndjson/.jsonl export of log show, to open."),
                                 QStringLiteral("[archive]"));
    parser.addOption({QStringLiteral("crashes"), QStringLiteral("Open on the Crashes tab with the crash reports in DIR."),
                      QStringLiteral("DIR")});
    parser.process(app);

    VellacordApp shell;
    const QStringList args = parser.positionalArguments();
    if (!args.isEmpty()) {
        // Like the open command: only what it accepts is opened and remembered.
        const QString path = QFileInfo(args.first()).absoluteFilePath();
        if (ArchiveChoice::isLogArchive(path)) {
            shell.recentArchives()->add(path);
            shell.pendingArchive()->set(path);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(ArchiveChoice::notAnArchiveText(path)));
        }
    }
    QMainWindow* window = shell.newMainWindow();
    if (parser.isSet(QStringLiteral("crashes"))) {
        const QFileInfo dir(parser.value(QStringLiteral("crashes")));
        if (dir.isDir()) {
            const QList<ContentView*> views = shell.contentViews();
            views.first()->model()->setCrashFolder(dir.absoluteFilePath());
            views.first()->model()->setShowCrashes(true);
        } else {
            std::fprintf(stderr, "Not a folder: %s\n", qPrintable(dir.filePath()));
        }
    }
    window->show();
    return app.exec();
}
