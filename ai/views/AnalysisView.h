#pragma once

#include "ai/AnalysisItem.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QStackedWidget;
class QVBoxLayout;

// The proactive analysis sheet: a header, a body showing the running
// analysis, its error, its findings or "No notable issues found", and a
// footer with "Done". Window-modal over the main window.
class AnalysisView : public QDialog {
    Q_OBJECT
public:
    explicit AnalysisView(QWidget* parent = nullptr);

    // Rows for the first kShownItems; a note says how many more there are.
    static constexpr int kShownItems = 20;
    void setItems(const QList<AnalysisItem>& items);
    void setLoading(bool loading);
    void setError(const std::optional<QString>& error);
    // Called with a finding's entry by "Jump to entry", before the sheet
    // closes itself.
    void setOnSelectEntry(std::function<void(const LogEntry&)> action) { m_onSelectEntry = std::move(action); }

    const QList<AnalysisItem>& items() const { return m_items; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& error() const { return m_error; }

    enum class Body { loading,
                      error,
                      items,
                      empty };
    Body body() const;

    // 560 points high while fewer than 4 findings are shown, 640 from 4 on.
    static int heightFor(int itemCount) { return itemCount >= 4 ? 640 : 560; }
    static constexpr int sheetWidth = 520;

private:
    void refresh();
    void tapped(const AnalysisItem& item);

    QList<AnalysisItem> m_items;
    bool m_isLoading = false;
    std::optional<QString> m_error;
    std::function<void(const LogEntry&)> m_onSelectEntry;

    QStackedWidget* m_stack;
    QLabel* m_errorText;
    QWidget* m_itemsHolder;
    QVBoxLayout* m_itemsColumn;
};
