#pragma once

#include <QAbstractButton>
#include <QList>
#include <QWidget>

class FlowLayout;
class QLabel;
class QPushButton;
class WindowModel;

// A capsule of the filter rows, drawn like the severity chips. A removable
// chip names a filter that is on and carries a ✕: only the ✕ (or Space)
// clicks it. A toggle chip is checkable and filled while on. Texts from logs
// are shown on one line as typed, the main part elided at a bounded width
// (the whole text in the tooltip), the suffix (a count) always whole.
class FilterChip : public QAbstractButton {
    Q_OBJECT
public:
    enum class Kind { removable,
                      toggle };
    explicit FilterChip(Kind kind, QWidget* parent = nullptr);

    static constexpr int maxTextWidth = 260;

    void setTexts(const QString& main, const QString& suffix = {});
    const QString& mainText() const { return m_main; }
    // The whole text: main part and suffix.
    QString fullText() const { return m_main + m_suffix; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QRect closeRect() const;

    Kind m_kind;
    QString m_main;
    QString m_suffix;
};

// Under the filter bar while something narrows the list that the other rows
// do not show: the Patterns view's pick first ("Pattern: …", ✕ drops it),
// then "Hiding:" and one chip per hide rule with the number of entries it
// hides (✕ removes the rule), and "Show All", which removes every rule.
class HideChipsRow : public QWidget {
    Q_OBJECT
public:
    explicit HideChipsRow(WindowModel* model, QWidget* parent = nullptr);

    FilterChip* patternChip() const { return m_pattern; }
    const QList<FilterChip*>& ruleChips() const { return m_rules; }

private:
    void refresh();
    void relayOut();

    WindowModel* m_model;
    FlowLayout* m_flow;
    FilterChip* m_pattern;
    QLabel* m_hiding;
    QList<FilterChip*> m_rules;
    QPushButton* m_showAll;
};
