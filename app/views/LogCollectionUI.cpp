#include "app/views/LogCollectionUI.h"

#include "app/views/CollectConfirmSheet.h"
#include "browser/FetchRange.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "logs/LogCollector.h"
#include "ui/PlainText.h"
#include "ui/Widgets.h"

#include <QMessageBox>
#include <QPointer>

namespace LogCollectionUI {

void showFailure(QWidget* parent, const QString& informativeText)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("logCollectionAlert"));
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QString::fromLatin1(failureTitle));
    box.setText(QString::fromLatin1(failureTitle));
    box.setInformativeText(informativeText);
    PlainText::makePlain(&box);  // the tool's own error text; setTextFormat leaves the informative text out
    box.setStandardButtons(QMessageBox::Ok);
    giveReadableWidth(&box);
    box.exec();
}

void finish(ContentView* window, bool succeeded, const QString& archivePath, const QString& failureText)
{
    if (!window)
        return;
    window->setCollecting(false);
    if (succeeded)
        window->model()->range()->openCollectedArchive(archivePath);
    else
        showFailure(window, failureText);
}

namespace {
LogCollector* collectorOf(ContentView* window)
{
    if (auto* c = window->findChild<LogCollector*>(QStringLiteral("logCollector"), Qt::FindDirectChildrenOnly))
        return c;
    auto* c = new LogCollector(window);
    c->setObjectName(QStringLiteral("logCollector"));
    QPointer<ContentView> w(window);
    QObject::connect(c, &LogCollector::isCollectingChanged, window, [w, c] {
        if (w)
            w->setCollecting(c->isCollecting());
    });
    QObject::connect(c, &LogCollector::finished, window,
                     [w](bool success, const QString& path, const QString& failureText) {
                         finish(w, success, path, failureText);
                     });
    return c;
}
}  // namespace

void collect(ContentView* window)
{
    if (!window || window->isCollecting())
        return;
    LogCollector* c = collectorOf(window);
    c->start();
}

void confirmAndCollect(ContentView* window)
{
    CollectConfirmSheet sheet(window);
    if (sheet.exec() == QDialog::Accepted)
        collect(window);
}

}  // namespace LogCollectionUI
