#include "app/views/LogCollectionUI.h"

#include "browser/views/ContentView.h"

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
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void finish(ContentView* window, bool succeeded, const QString& archivePath, const QString& failureText)
{
    if (!window)
        return;
    window->setCollecting(false);
    if (succeeded)
        window->openCollectedArchive(archivePath);
    else
        showFailure(window, failureText);
}

}  // namespace LogCollectionUI
