#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

// A short message floating over the bottom of a window that goes by itself:
// the word that a command ended well (an export written), which needs no
// answer and must not take the list's room. A new message replaces the
// shown one; a click dismisses it. The text is plain, elided in the middle
// when the window is narrow, and whole in its tooltip.
class TransientNotice : public QWidget {
    Q_OBJECT
public:
    explicit TransientNotice(QWidget* host);

    static constexpr int kShownMs = 6000;

    void showMessage(const QString& text);
    void dismiss();
    const QString& text() const { return m_text; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void place();
    void refreshLook();

    QString m_text;
    QLabel* m_icon;
    QLabel* m_label;
    QTimer m_timer;
};
