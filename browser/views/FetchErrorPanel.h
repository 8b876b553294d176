#pragma once

#include "logs/journal/JournalAccess.h"

#include <QWidget>

class QLabel;
class QPushButton;
struct FetchOutcome;

// The content area after a failed or empty fetch with no entries: the
// fetcher's message in its own words (which says why and what to do), with
// a lock and "Copy Command" when the user lacks a journal reader group, or a
// warning triangle otherwise.
class FetchErrorPanel : public QWidget {
    Q_OBJECT
public:
    explicit FetchErrorPanel(QWidget* parent = nullptr);

    void setError(const QString& message, const FetchOutcome& outcome);

protected:
    void changeEvent(QEvent* e) override;

private:
    void refreshIcon();
    void copyCommand();

    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QPushButton* m_copyButton = nullptr;
    JournalAccess m_access;
};
