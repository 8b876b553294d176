#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;

// A strip under a toolbar: a symbol and a plain-text label on a 12% tint of
// the accent or the warning colour. Owners add their buttons to row(); the
// symbol follows a theme change.
class TintedBar : public QWidget {
    Q_OBJECT
public:
    enum class Tint { accent,
                      orange };

    TintedBar(const QString& symbol, Tint tint, QWidget* parent = nullptr);

    QHBoxLayout* row() const { return m_row; }
    QLabel* icon() const { return m_icon; }
    QLabel* label() const { return m_label; }
    // Untinted, the strip is transparent (its owner shows other content).
    void setTinted(bool tinted);
    bool isTinted() const { return m_tinted; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    QColor color() const;
    void updateIcon();

    QString m_symbol;
    Tint m_tint;
    bool m_tinted = true;
    QHBoxLayout* m_row;
    QLabel* m_icon;
    QLabel* m_label;
};
