#include "browser/views/ExportCommand.h"

#include "base/AtomicFile.h"
#include "base/Background.h"
#include "base/Platform.h"
#include "browser/Marks.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "browser/views/TransientNotice.h"
#include "logs/VisibleText.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>

using EntryExport::Format;

ExportCommand::ExportCommand(WindowModel* model, ContentView* window)
    : QObject(window), m_model(model), m_window(window), m_action(new QAction(QStringLiteral("Export Visible Entries…"), this))
{
    m_action->setObjectName(QStringLiteral("exportAction"));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_action->setShortcutContext(Qt::WindowShortcut);
    connect(m_action, &QAction::triggered, this, &ExportCommand::run);
    connect(model, &WindowModel::listChanged, this, &ExportCommand::refresh);
    connect(model, &WindowModel::contentChanged, this, &ExportCommand::refresh);
    connect(window, &ContentView::showCrashesChanged, this, &ExportCommand::refresh);
    refresh();
}

void ExportCommand::refresh()
{
    m_action->setEnabled(!m_running && !m_window->showCrashes() && m_model->content() == WindowModel::Content::list &&
                         !m_model->filteredEntries().isEmpty());
}

QString ExportCommand::failureText(const QString& path, const QString& reason)
{
    return QStringLiteral("The entries could not be written to \"%1\": %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString ExportCommand::successText(const QString& path, qsizetype count)
{
    // Grouped the English way, as every other text of the application.
    const QString n = QLocale(QLocale::English, QLocale::UnitedStates).toString(qlonglong(count));
    return QStringLiteral("Exported %1 %2 to %3.")
        .arg(n, count == 1 ? QStringLiteral("entry") : QStringLiteral("entries"),
             VisibleText::shownName(QDir::toNativeSeparators(path)));
}

void ExportCommand::run()
{
    refresh();
    if (!m_action->isEnabled())
        return;
    // What the list shows when the command is given; a live tail goes on meanwhile.
    LogEntryList rows = m_model->filteredEntries().toList();
    const QList<ColumnId> columns = m_model->visibleColumns();
    const QString desktop = Platform::desktopDir();
    const QString suggested = QDir(QFileInfo(desktop).isDir() ? desktop : QDir::homePath()).filePath(QStringLiteral("Vellacord-Entries-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".txt"));
    const std::optional<SaveChoice> choice = runSavePanel(suggested, !m_model->markDates().isEmpty());
    if (!choice || choice->path.isEmpty())
        return;
    if (choice->markedOnly)
        rows = m_model->marks()->markedOf(rows);
    const EntryExport::Target target = EntryExport::target(choice->path, choice->format);
    m_running = true;
    refresh();
    if (m_notice)
        m_notice->dismiss();
    Background::run(
        this,
        [rows, columns, target] {
            return AtomicFile::write(target.path, EntryExport::document(target.format, rows, columns),
                                     AtomicFile::LinkPolicy::refuseLinks);
        },
        [this, path = target.path, count = rows.size()](std::optional<QString> failure) {
            m_running = false;
            refresh();
            if (failure) {
                showFailure(failureText(path, *failure));
            } else if (m_window) {
                if (!m_notice) {
                    m_notice = new TransientNotice(m_window);
                    m_notice->setObjectName(QStringLiteral("exportNotice"));
                }
                m_notice->showMessage(successText(path, count));
            }
            emit finished(failure);
        });
}

std::optional<ExportCommand::SaveChoice> ExportCommand::runSavePanel(const QString& suggested, bool anyMarked)
{
    if (m_panel)
        return m_panel(suggested);
    QFileDialog dialog(m_window, QStringLiteral("Export Visible Entries"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const EntryExport::FileType& t : EntryExport::fileTypes())
        filters << t.nameFilter;
    dialog.setNameFilters(filters);
    dialog.setDirectory(QFileInfo(suggested).absolutePath());
    dialog.selectFile(QFileInfo(suggested).fileName());
    dialog.setDefaultSuffix(EntryExport::fileTypes().first().suffix);
    // Choosing another type renames the suggestion, so that its extension
    // (which would win) follows the choice.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        for (const EntryExport::FileType& t : EntryExport::fileTypes()) {
            if (t.nameFilter != filter)
                continue;
            dialog.setDefaultSuffix(t.suffix);
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (edit && EntryExport::formatOfName(edit->text()))
                edit->setText(QFileInfo(edit->text()).completeBaseName() + u'.' + t.suffix);
        }
    });
    // Under the file type: the Qt dialog's own grid takes one more row.
    auto* markedOnly = new QCheckBox(QStringLiteral("Marked entries only"), &dialog);
    markedOnly->setObjectName(QStringLiteral("markedOnlyCheck"));
    markedOnly->setEnabled(anyMarked);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(markedOnly, grid->rowCount(), 0, 1, grid->columnCount());
    else
        markedOnly->hide();
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    SaveChoice choice{dialog.selectedFiles().first(), Format::text, anyMarked && markedOnly->isChecked()};
    for (const EntryExport::FileType& t : EntryExport::fileTypes())
        if (t.nameFilter == dialog.selectedNameFilter())
            choice.format = t.format;
    return choice;
}

void ExportCommand::showFailure(const QString& text)
{
    if (m_alert) {
        m_alert(text);
        return;
    }
    QMessageBox box(m_window);
    box.setObjectName(QStringLiteral("exportAlert"));
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(failureTitle());
    // Paths and system messages are shown as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}
