#pragma once

#include "logs/LogEntry.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class AISettings;
class BusyIndicator;
class ExplainController;
class MarkdownAnswerView;
class PlainTextViewer;
class ProcessNameResolver;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;

// One entry in full: header, message, metadata and, with AI settings, the
// explanation box and the actions (Explain, Search Web, Mac Support). The
// header with the actions and the pop-out stays on top while the rest
// scrolls, so they are in reach at any height. Shown below the list (fixed
// height, pop-out button) or alone in the floating window (fills it, no
// pop-out). Built once; a new entry, a new explain
// state, learned names or a theme change update it in place.
class DetailPane : public QWidget {
    Q_OBJECT
public:
    DetailPane(const LogEntry& entry, ProcessNameResolver* processNames, AISettings* aiSettings,
               std::optional<double> height, std::function<void()> onPopOut, QWidget* parent = nullptr);
    ~DetailPane() override;

    const LogEntry& entry() const { return m_entry; }
    void setEntry(const LogEntry& entry);
    // False: filters hide the entry from the list, which the header says.
    void setListed(bool listed);
    // Below the list: as tall as `height` where the window has room, shorter
    // where it has not (never cut off by the window's edge). None: fills.
    void setPaneHeight(std::optional<double> height);
    QSize sizeHint() const override;
    // A set height is the pane's whole answer: its wrapping header must not
    // make the window's layout ask the height for a width instead.
    bool hasHeightForWidth() const override { return !m_height && QWidget::hasHeightForWidth(); }

    // The pane's own explanation state (it outlives entry changes).
    ExplainController* explainer() const { return m_explainer; }
    // The pane closed: it opens again with the state of a new pane.
    void resetExplanation();
    // Shows what `other` shows of the same entry's explanation (a pop-out).
    void adoptExplanation(const DetailPane& other);
    bool isExplaining() const;
    bool wasCached() const;

    // The actions, as their buttons run them.
    void explain();
    void searchWeb();
    void openMacSupport();
    // The entry as the pane shows it, as plain text (EntryText::entryText).
    void copyEntry();

    // Where addresses are opened (the default browser); tests replace it.
    static void setUrlOpener(std::function<bool(const QUrl&)> opener);

    // A message over this size (UTF-8) shows its start and "Show All (N KB)".
    static constexpr qsizetype kShownMessageBytes = 64 * 1024;
    // Opens the whole message in a window of its own.
    void showAllMessage();

    // The "Process" metadata value: friendly name (raw) when translated.
    static QString processText(const LogEntry& entry, const ProcessNameResolver* names);

protected:
    void changeEvent(QEvent* e) override;

private:
    QWidget* buildContent();
    QWidget* buildAISection();
    void refresh();
    void refreshAISection();
    bool m_refreshQueued = false;
    std::optional<int> m_height;

    LogEntry m_entry;
    QPointer<QObject> m_processNames;  // a ProcessNameResolver
    std::function<void()> m_onPopOut;
    ExplainController* m_explainer = nullptr;  // only with AI settings

    QScrollArea* m_scroll = nullptr;
    QWidget* m_topBar = nullptr;
    QWidget* m_actionRow = nullptr;
    QWidget* m_aiSection = nullptr;
    QLabel* m_notListed = nullptr;
    QLabel* m_level = nullptr;
    QLabel* m_date = nullptr;
    QToolButton* m_popOut = nullptr;
    PlainTextViewer* m_message = nullptr;
    QPushButton* m_showAll = nullptr;
    // Value labels of the metadata rows, with their label beside.
    struct MetaRow {
        QLabel* label;
        QLabel* value;
    };
    QList<MetaRow> m_meta;  // one per label the pane may show, in its order

    QGroupBox* m_explanationBox = nullptr;
    QWidget* m_cachedMark = nullptr;
    QLabel* m_cachedIcon = nullptr;
    MarkdownAnswerView* m_explanationText = nullptr;
    QGroupBox* m_errorBox = nullptr;
    QLabel* m_errorText = nullptr;
    QPushButton* m_explainButton = nullptr;
    BusyIndicator* m_explainBusy = nullptr;
    QLabel* m_explainIcon = nullptr;
    QLabel* m_explainLabel = nullptr;
    QPushButton* m_webButton = nullptr;
    QPushButton* m_supportButton = nullptr;
    QPushButton* m_copyEntry = nullptr;
    QLabel* m_configureHint = nullptr;
};
