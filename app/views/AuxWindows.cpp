#include "app/views/AuxWindows.h"

#include "app/views/APIKeyHelpView.h"
#include "app/views/AboutView.h"
#include "app/views/HelpView.h"
#include "ui/AppIdentity.h"

#include <QAction>
#include <QHash>
#include <QLayout>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace AuxWindows {

namespace {
QHash<QString, QPointer<QWidget>>& registry()
{
    static QHash<QString, QPointer<QWidget>> windows;
    return windows;
}

QWidget* make(const QString& id)
{
    QWidget* content = nullptr;
    if (id == QLatin1String(helpID))
        content = new HelpView;
    else if (id == QLatin1String(apiKeyHelpID))
        content = new APIKeyHelpView;
    else if (id == QLatin1String(aboutID))
        content = new AboutView;
    else
        return nullptr;

    auto* win = new QWidget(nullptr, Qt::Window);
    win->setObjectName(id);
    win->setWindowTitle(title(id));
    win->setWindowIcon(AppIdentity::icon());
    // Closing the last main window ends the application even while one of
    // these stays open.
    win->setAttribute(Qt::WA_QuitOnClose, false);
    // Escape and Ctrl+W close it: it has no menu bar to offer Close.
    auto* close = new QAction(win);
    close->setObjectName(QStringLiteral("closeWindowAction"));
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    QObject::connect(close, &QAction::triggered, win, &QWidget::close);
    win->addAction(close);
    auto* lay = new QVBoxLayout(win);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(content);
    if (id == QLatin1String(helpID)) {
        win->resize(content->sizeHint());
    } else {
        // Sized to the content and not resizable beyond it.
        lay->setSizeConstraint(QLayout::SetFixedSize);
    }
    return win;
}
}  // namespace

QString title(const QString& id)
{
    if (id == QLatin1String(helpID))
        return QStringLiteral("Vellacord Help");
    if (id == QLatin1String(apiKeyHelpID))
        return QStringLiteral("Setting Up Your AI API Key");
    if (id == QLatin1String(aboutID))
        return QStringLiteral("About Vellacord");
    return {};
}

QWidget* open(const QString& id)
{
    QPointer<QWidget>& slot = registry()[id];
    if (!slot) {
        slot = make(id);
        if (!slot) {
            registry().remove(id);
            return nullptr;
        }
    }
    QWidget* w = slot.data();
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w;
}

}  // namespace AuxWindows
