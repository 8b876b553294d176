#pragma once

#include "logs/LogEntry.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class AISettings;
class ProcessNameResolver;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// One entry in full: header, message, metadata and, with AI settings, the
// explanation box and the actions (Explain, Search Web, Mac Support). Shown
// below the list (fixed height, pop-out button) or alone in the floating
// window (fills it, no pop-out).
class DetailPane : public QWidget {
    Q_OBJECT
public:
    DetailPane(const LogEntry& entry, ProcessNameResolver* processNames, AISettings* aiSettings,
               std::optional<double> height, std::function<void()> onPopOut, QWidget* parent = nullptr);

    const LogEntry& entry() const { return m_entry; }
    void setEntry(const LogEntry& entry);
    void setPaneHeight(std::optional<double> height);

    // Explanation state of this pane.
    const std::optional<QString>& explanation() const { return m_explanation; }
    bool isExplaining() const { return m_isExplaining; }
    const std::optional<QString>& explainError() const { return m_explainError; }
    const std::optional<QUuid>& lastExplainedEntryID() const { return m_lastExplainedEntryID; }
    bool wasCached() const { return m_wasCached; }

    // The actions, as their buttons run them.
    void explain();
    void searchWeb();
    void openMacSupport();

    // Where addresses are opened (the default browser); tests replace it.
    static void setUrlOpener(std::function<bool(const QUrl&)> opener);

    // The "Process" metadata value: friendly name (raw) when translated.
    static QString processText(const LogEntry& entry, const ProcessNameResolver* names);

protected:
    void changeEvent(QEvent* e) override;

private:
    void rebuild();
    QWidget* buildContent();
    QWidget* buildAISection();
    bool entryIsCached() const;

    LogEntry m_entry;
    QPointer<QObject> m_processNames;  // a ProcessNameResolver
    QPointer<QObject> m_aiSettings;    // an AISettings
    std::function<void()> m_onPopOut;

    std::optional<QString> m_explanation;
    bool m_isExplaining = false;
    std::optional<QString> m_explainError;
    std::optional<QUuid> m_lastExplainedEntryID;
    bool m_wasCached = false;

    QScrollArea* m_scroll = nullptr;
    bool m_rebuildQueued = false;
};
