#pragma once

#include <QObject>

class LogFetcher;

// Following the end of the list while live tailing: new rows scroll into
// view until the user scrolls by hand; the jump button brings it back.
// Main thread only.
class TailFollow : public QObject {
    Q_OBJECT
public:
    explicit TailFollow(LogFetcher* fetcher, QObject* parent = nullptr);

    void toggleLiveTail();
    bool autoScrollEnabled() const { return m_autoScrollEnabled; }
    // Direct scrolling by the user: while tailing it stops following.
    void userScrolled();
    void jumpToBottom();
    bool showsJumpToBottom() const;
    // The list gained rows: followed while tailing.
    void rowsAdded();

signals:
    // Following, tailing or the jump button changed.
    void followChanged();
    // New rows while following: scroll to the last one.
    void followEndRequested();

private:
    LogFetcher* m_fetcher;
    bool m_autoScrollEnabled = true;
};
