#include "app/views/VellacordApp.h"

#include "app/ArchiveChoice.h"
#include "app/views/AuxWindows.h"
#include "app/views/ShellParts.h"
#include "base/Platform.h"
#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "browser/views/ExportCommand.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/RowLayout.h"
#include "logs/RecentArchives.h"
#include "logs/VisibleText.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/AppIdentity.h"
#include "ui/PlainText.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace {
// Chooses a folder (a .logarchive bundle), or an exported .ndjson/.jsonl
// file: Qt's directory mode alone disables Open on a file and refuses it.
class ArchiveOpenDialog final : public QFileDialog {
public:
    explicit ArchiveOpenDialog(const QString& title) : QFileDialog(nullptr, title)
    {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setFileMode(QFileDialog::Directory);
        setNameFilters(ArchiveChoice::panelFilters());
        // Runs after the dialog's own update of the button.
        const auto allowFile = [this] {
            if (chosenFile().isEmpty())
                return;
            if (auto* box = findChild<QDialogButtonBox*>())
                if (QPushButton* open = box->button(QDialogButtonBox::Open))
                    open->setEnabled(true);
        };
        if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            connect(edit, &QLineEdit::textChanged, this, allowFile);
        connect(this, &QFileDialog::currentChanged, this, allowFile);
    }

    void accept() override
    {
        if (!chosenFile().isEmpty())
            QDialog::accept();  // selectedFiles() keeps the file
        else
            QFileDialog::accept();
    }

private:
    QString chosenFile() const
    {
        const QStringList files = selectedFiles();
        return !files.isEmpty() && QFileInfo(files.first()).isFile() ? files.first() : QString();
    }
};

// The window's command for its Logs or Crashes tab (Ctrl+1, Ctrl+2), made
// once and kept by the window, so that its key works with the menu closed.
QAction* tabAction(ContentView* window, bool crashes)
{
    const QString name = crashes ? QStringLiteral("showCrashesAction") : QStringLiteral("showLogsAction");
    if (auto* a = window->findChild<QAction*>(name, Qt::FindDirectChildrenOnly))
        return a;
    auto* a = new QAction(crashes ? QStringLiteral("Show Crashes") : QStringLiteral("Show Logs"), window);
    a->setObjectName(name);
    a->setShortcut(QKeySequence(Qt::CTRL | (crashes ? Qt::Key_2 : Qt::Key_1)));
    QObject::connect(a, &QAction::triggered, window, [window, crashes] { window->setShowCrashes(crashes); });
    window->addAction(a);
    return a;
}
}  // namespace

VellacordApp::VellacordApp(QObject* parent) : QObject(parent)
{
    m_systemPalette = QApplication::palette();
    m_detailState = new DetailWindowState(this);
    m_recent = new RecentArchives(this);
    m_pending = new PendingArchive(this);

    // One handler for the quit shortcut, for every window of the application
    // (the floating and help windows have no menu bar of their own).
    qApp->installEventFilter(this);
    applyTheme();
}

VellacordApp::~VellacordApp()
{
    qApp->removeEventFilter(this);
}

QMainWindow* VellacordApp::newMainWindow()
{
    auto* win = new QMainWindow;
    win->setAttribute(Qt::WA_DeleteOnClose);
    win->setWindowTitle(QStringLiteral("Vellacord"));
    win->setWindowIcon(AppIdentity::icon());
    auto* content = new ContentView(m_detailState, m_recent, m_pending,
                                    ShellParts::make([this](const QString& id) { openWindow(id); }), win);
    win->setCentralWidget(content);
    win->resize(1200, 760);
    installMenus(win);
    m_mainWindows.append(win);
    return win;
}

QList<ContentView*> VellacordApp::contentViews() const
{
    QList<ContentView*> views;
    for (const QPointer<QMainWindow>& w : m_mainWindows)
        if (w)
            if (auto* c = qobject_cast<ContentView*>(w->centralWidget()))
                views << c;
    return views;
}

void VellacordApp::openWindow(const QString& id)
{
    if (id == QLatin1String(FloatingDetailView::windowID)) {
        FloatingDetailView::open(m_detailState);
        return;
    }
    AuxWindows::open(id);
}

// ---------------------------------------------------------------- theme

void VellacordApp::setTheme(AppTheme t)
{
    Theme::store(t);
    applyTheme();
}

void VellacordApp::applyTheme()
{
    QPalette pal = m_systemPalette;
    switch (Theme::stored()) {
    case AppTheme::light: pal = ViewStyle::lightPalette(); break;
    case AppTheme::dark: pal = ViewStyle::darkPalette(); break;
    case AppTheme::system: break;
    }
    // Windows opened later take the application palette; the open ones are
    // given it too, so that a change applies to all of them at once.
    QApplication::setPalette(pal);
    for (QWidget* w : QApplication::topLevelWidgets())
        w->setPalette(pal);
}

// ---------------------------------------------------------------- commands

std::optional<QString> VellacordApp::runOpenPanel(const OpenPanel& panel)
{
    ArchiveOpenDialog dialog(panel.title);
    dialog.setLabelText(QFileDialog::Accept, panel.prompt);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setDirectory(Platform::desktopDir());
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* message = new QLabel(panel.message);
        message->setTextFormat(Qt::PlainText);
        grid->addWidget(message, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}

QString VellacordApp::runAlert(const Alert& alert)
{
    if (m_alert)
        return m_alert(alert);
    QMessageBox box;
    box.setIcon(alert.warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setWindowTitle(alert.title);
    box.setText(alert.title);
    box.setInformativeText(alert.informativeText);  // may quote a path or an error
    PlainText::makePlain(&box);
    box.setWindowModality(Qt::ApplicationModal);
    QList<QPushButton*> buttons;
    for (int i = 0; i < alert.buttons.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons << box.addButton(alert.buttons[i], role);
    }
    if (!buttons.isEmpty())
        box.setDefaultButton(buttons.first());
    giveReadableWidth(&box);
    box.exec();
    for (int i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return alert.buttons[i];
    return alert.buttons.isEmpty() ? QString() : alert.buttons.last();
}

void VellacordApp::openArchiveCommand()
{
    const std::optional<QString> chosen = runOpenPanel(OpenPanel{});
    if (chosen && !chosen->isEmpty())
        openPath(*chosen);
}

void VellacordApp::openPath(const QString& path)
{
    if (!ArchiveChoice::isLogArchive(path)) {
        runAlert({QStringLiteral("Not a Log Archive"), ArchiveChoice::notAnArchiveText(path), {QStringLiteral("OK")}, true});
        return;
    }
    m_recent->add(path);
    m_pending->set(path);
}

void VellacordApp::openRecent(const QString& path)
{
    m_pending->set(path);
}

void VellacordApp::clearRecent()
{
    m_recent->clear();
}

void VellacordApp::resetLearnedProcessNames()
{
    const QString choice =
        runAlert({QStringLiteral("Reset Learned Process Names?"),
                  QStringLiteral("This will permanently delete all process names Vellacord has learned. This cannot "
                                 "be undone."),
                  {QStringLiteral("Reset"), QStringLiteral("Cancel")},
                  true});
    if (choice != QLatin1String("Reset"))
        return;
    // Every window's resolver forgets, so none writes the old names back on
    // its next save; with no window open, one made for the purpose clears the file.
    const QList<ContentView*> views = contentViews();
    if (views.isEmpty())
        ProcessNameResolver().resetLearned();
    for (ContentView* v : views)
        v->model()->processNames()->resetLearned();
}

void VellacordApp::toggleColumn(ColumnId c)
{
    const QList<ContentView*> views = contentViews();
    if (views.isEmpty()) {
        // The column-off rule holds with no window open to apply it.
        FilterState stored;
        Pipeline::loadPersisted(stored, Platform::settings());
        Pipeline::setShown(stored, c, !stored.isShown(c));
        Pipeline::persistColumn(stored, c, Platform::settings());
        return;
    }
    // Every main window shows the change at once (each also persists it).
    const bool on = !Platform::settings().value(Columns::showKey(c), false).toBool();
    for (ContentView* v : views)
        v->model()->pipeline().setShown(c, on);
}

void VellacordApp::quit()
{
    // The normal shutdown: settings reach the disk, windows close, the event
    // loop ends and destructors run.
    Platform::settings().sync();
    emit quitRequested();
    QCoreApplication::quit();
}

bool VellacordApp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Ctrl+Q exactly: Ctrl+Shift+Q is another key.
        if (key->key() == Qt::Key_Q && key->modifiers() == Qt::ControlModifier && !key->isAutoRepeat()) {
            quit();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------- menus

void VellacordApp::installMenus(QMainWindow* window)
{
    QMenuBar* bar = window->menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    QPointer<ContentView> content = qobject_cast<ContentView*>(window->centralWidget());
    connect(file, &QMenu::aboutToShow, this, [this, file, content] { fillFileMenu(file, content); });
    fillFileMenu(file, content);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    connect(view, &QMenu::aboutToShow, this, [this, view, content] { fillViewMenu(view, content); });
    fillViewMenu(view, content);
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    fillHelpMenu(help);
}

void VellacordApp::fillFileMenu(QMenu* menu, ContentView* content)
{
    menu->clear();
    QAction* nw = menu->addAction(QStringLiteral("New Window"), this, [this] { newMainWindow()->show(); });
    nw->setShortcut(QKeySequence::New);
    QAction* open = menu->addAction(QStringLiteral("Open Log Archive…"), this, &VellacordApp::openArchiveCommand);
    open->setShortcut(QKeySequence::Open);
    if (!m_recent->paths().isEmpty()) {
        QMenu* recent = menu->addMenu(QStringLiteral("Open Recent"));
        recent->setObjectName(QStringLiteral("openRecentMenu"));
        // The full path on hover tells archives of the same name apart. A
        // name is shown as it is: no "&" taken for a mnemonic, controls shown.
        recent->setToolTipsVisible(true);
        for (const QString& path : m_recent->existingArchives()) {
            const QString name = VisibleText::shownName(ArchiveChoice::lastPathComponent(path));
            QAction* item = recent->addAction(QString(name).replace(u'&', QStringLiteral("&&")), this,
                                              [this, path] { openRecent(path); });
            item->setToolTip(PlainText::toolTip(VisibleText::shownName(path)));
        }
        recent->addSeparator();
        recent->addAction(QStringLiteral("Clear Recent"), this, &VellacordApp::clearRecent);
    }
    if (content) {
        // The window's own action: it keeps its state and its shortcut between menus.
        menu->addSeparator();
        menu->addAction(content->exportCommand()->action());
    }
    menu->addSeparator();
    QAction* quitAction = menu->addAction(QStringLiteral("Quit Vellacord"), this, &VellacordApp::quit);
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The application-wide handler catches the key; the menu only shows it.
    quitAction->setShortcutContext(Qt::WidgetShortcut);
}

void VellacordApp::fillViewMenu(QMenu* menu, ContentView* window)
{
    menu->clear();
    QMenu* theme = menu->addMenu(QStringLiteral("Theme"));
    theme->setObjectName(QStringLiteral("themeMenu"));
    const AppTheme current = Theme::stored();
    for (AppTheme t : Theme::all())
        theme->addAction(Theme::menuItemLabel(t, current), this, [this, t] { setTheme(t); });
    menu->addSeparator();
    QMenu* columns = menu->addMenu(QStringLiteral("Columns"));
    columns->setObjectName(QStringLiteral("columnsMenu"));
    for (ColumnId c : Columns::optional()) {
        QAction* a = columns->addAction(Columns::title(c), this, [this, c] { toggleColumn(c); });
        a->setCheckable(true);
        a->setChecked(Platform::settings().value(Columns::showKey(c), false).toBool());
    }
    if (window) {
        // The window's own actions: it owns them, the menu only shows them.
        menu->addSeparator();
        menu->addAction(window->findAction());
        menu->addAction(window->refreshAction());
        menu->addSeparator();
        menu->addAction(tabAction(window, false));
        menu->addAction(tabAction(window, true));
    }
}

void VellacordApp::fillHelpMenu(QMenu* menu)
{
    menu->clear();
    menu->addAction(QStringLiteral("Vellacord Help"), this, [this] { openWindow(QLatin1String(AuxWindows::helpID)); });
    menu->addAction(QStringLiteral("Setting Up Your AI API Key"), this,
                    [this] { openWindow(QLatin1String(AuxWindows::apiKeyHelpID)); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Reset Learned Process Names"), this, &VellacordApp::resetLearnedProcessNames);
    menu->addSeparator();
    menu->addAction(QStringLiteral("About Vellacord"), this, [this] { openWindow(QLatin1String(AuxWindows::aboutID)); });
}
