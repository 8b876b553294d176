#pragma once

#include "logs/LogEntry.h"

#include <QObject>
#include <QPointer>

#include <optional>

class AISettings;
class ProcessNameResolver;

// What the main window and the floating "Log Entry Detail" window share: the
// entry shown there, whether the window is open, and the pop-back request.
// One instance per application, used on the main thread only.
class DetailWindowState : public QObject {
    Q_OBJECT
public:
    explicit DetailWindowState(QObject* parent = nullptr);

    const std::optional<LogEntry>& entry() const { return m_entry; }
    void setEntry(const std::optional<LogEntry>& entry);

    bool isOpen() const { return m_isOpen; }
    void setOpen(bool open);

    bool wantsPopBack() const { return m_wantsPopBack; }
    void setWantsPopBack(bool wants);

    // Handed over at pop-out; owned by the main window that popped out, so
    // they read as null once that window is gone.
    ProcessNameResolver* processNames() const;
    AISettings* aiSettings() const;
    void setServices(ProcessNameResolver* names, AISettings* settings);

signals:
    void entryChanged();
    void isOpenChanged();
    void wantsPopBackChanged();
    void servicesChanged();

private:
    std::optional<LogEntry> m_entry;
    bool m_isOpen = false;
    bool m_wantsPopBack = false;
    QPointer<QObject> m_processNames;
    QPointer<QObject> m_aiSettings;
};
