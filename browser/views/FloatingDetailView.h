#pragma once

#include <QPointer>
#include <QWidget>

class DetailPane;
class DetailWindowState;
class QLabel;
class QToolButton;
class QVBoxLayout;

// The content of the floating "Log Entry Detail" window: "Pop Back In" and
// the detail pane of the shared state's entry (no pop-out, fills the
// window), or "No entry selected". Closing it marks the state closed.
class FloatingDetailView : public QWidget {
    Q_OBJECT
public:
    static inline const char* const windowID = "detail-window";

    explicit FloatingDetailView(DetailWindowState* state, QWidget* parent = nullptr);
    ~FloatingDetailView() override;

    // The single "detail-window": created on first use, brought to the front
    // when open already.
    static FloatingDetailView* open(DetailWindowState* state);
    static FloatingDetailView* instance();

    DetailPane* pane() const { return m_pane; }
    void popBackIn();

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void showEntry();
    void refreshIcon();

    QPointer<DetailWindowState> m_state;
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_body = nullptr;
    DetailPane* m_pane = nullptr;
    QPointer<QToolButton> m_back;
};
