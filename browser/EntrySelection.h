#pragma once

#include "browser/EntryRows.h"
#include "logs/LogEntry.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <optional>

class AISettings;
class DetailWindowState;
class LogFetcher;
class ProcessNameResolver;

// The selected entry and the inline detail pane. The selected entry is the
// highlighted row and the keyboard's position; the pane shows it while
// open. Across a new read (another archive, a refresh, a new range) the
// selection follows its record by the live-tail key, or is dropped when the
// new list lacks it. Main thread only.
class EntrySelection : public QObject {
    Q_OBJECT
public:
    // `listed` is the window's filtered list, read on each follow(); the
    // detail state may be null (a window on its own).
    EntrySelection(LogFetcher* fetcher, const EntryRows& listed, DetailWindowState* detailState,
                   ProcessNameResolver* processNames, AISettings* aiSettings, QObject* parent = nullptr);

    const std::optional<LogEntry>& entry() const { return m_entry; }
    // Selects the entry and opens the inline pane on it; none clears both.
    void setEntry(const std::optional<LogEntry>& entry);
    bool isPaneOpen() const { return m_entry && m_paneOpen; }
    // The selected entry is among the filtered rows (not hidden by a filter).
    bool isListed() const { return m_listed; }
    // A row click: opens the pane on the entry, a click on the row the pane
    // shows clears the selection; with the floating window open the entry
    // goes there and the inline pane stays closed.
    void clickEntry(const LogEntry& entry);
    // A row reached by the keyboard: selected (never toggled off), sent to
    // the floating window while it is open. The pane opens from no
    // selection, else stays as it was (closed after Escape).
    void selectEntry(const LogEntry& entry);
    // Selects the entry as the keyboard does and asks the list to centre it.
    void reveal(const LogEntry& entry);
    // Enter on the selected row: the pane opens (not while floating).
    void openPane();
    // Escape: closes the pane and keeps the row; false when it was closed (passed on).
    bool closePane();
    // The text Copy and "Copy Row" put on the clipboard; none without a selection.
    std::optional<QString> rowText() const;

    // Analysis jump: selects the entry and highlights it for highlightDurationMs.
    void selectFromAnalysis(const LogEntry& entry);
    const std::optional<QUuid>& highlightedEntryID() const { return m_highlightedEntryID; }
    static constexpr int highlightDurationMs = 3000;
    void setHighlightDuration(int ms) { m_highlightMs = ms; }  // tests shorten it

    // Pop-out: hands the entry and the services to the floating window's
    // state, closes the inline pane (the row stays selected) and asks for
    // the floating window.
    void popOut();

    // After a read or a pipeline pass: the same record in the new list, and
    // whether the filters list it.
    void follow();

signals:
    void changed();
    void highlightChanged();
    // A finding's jump, before it selects: the list must be in view.
    void analysisJump();
    // The list should scroll the selected row to its centre.
    void revealRequested();
    void floatingWindowRequested();

private:
    bool floatingOpen() const;
    // The same record in the fetched list: by id, else by the live-tail key.
    std::optional<LogEntry> inFetched(const LogEntry& entry) const;
    void popBack();

    LogFetcher* m_fetcher;
    const EntryRows& m_rows;
    QPointer<DetailWindowState> m_detailState;
    ProcessNameResolver* m_processNames;
    AISettings* m_aiSettings;

    std::optional<LogEntry> m_entry;
    bool m_paneOpen = false;
    bool m_listed = false;
    std::optional<QUuid> m_highlightedEntryID;
    quint64 m_highlightGeneration = 0;
    int m_highlightMs = highlightDurationMs;
};
