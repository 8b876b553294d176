#include "app/ArchiveChoice.h"
#include "app/views/VellacordApp.h"
#include "base/Platform.h"
#include "browser/PendingArchive.h"
#include "browser/views/ContentView.h"
#include "logs/RecentArchives.h"
#include "logs/ResourceLimits.h"
#include "ui/AppIdentity.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMainWindow>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    ResourceLimits::raiseOpenFileLimit();
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
                                 QStringLiteral("A log archive to open (File > Open Log Archive takes the same)."),
                                 QStringLiteral("[archive]"));
    parser.addOption({QStringLiteral("crashes"), QStringLiteral("Open on the Crashes tab with the crash reports in DIR."),
                      QStringLiteral("DIR")});
    parser.process(app);

    VellacordApp shell;
    // A path is taken as the open command takes a choice: a log archive opens
    // in the first window; anything else gets its alert over the window.
    const QStringList args = parser.positionalArguments();
    const QString given = args.isEmpty() ? QString() : QFileInfo(args.first()).absoluteFilePath();
    const bool opens = !given.isEmpty() && ArchiveChoice::isLogArchive(given);
    if (opens)
        shell.openPath(given);
    QMainWindow* window = shell.newMainWindow();
    if (parser.isSet(QStringLiteral("crashes"))) {
        const QFileInfo dir(parser.value(QStringLiteral("crashes")));
        if (dir.isDir()) {
            const QList<ContentView*> views = shell.contentViews();
            views.first()->setCrashFolder(dir.absoluteFilePath());
            views.first()->setShowCrashes(true);
        } else {
            std::fprintf(stderr, "Not a folder: %s\n", qPrintable(dir.filePath()));
        }
    }
    window->show();
    if (!given.isEmpty() && !opens)
        QTimer::singleShot(0, &shell, [&shell, given] { shell.openPath(given); });
    return app.exec();
}
