#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QPointer>

class AISettings;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

// The AI settings popover under the toolbar's gear: provider segments, the
// masked API key, the search engine address and the key status. Edits the
// main window's AISettings in place: every keystroke and click is applied at
// once, so there is nothing to save or cancel; "Done" and a click outside
// only close it.
class SettingsView : public QFrame {
    Q_OBJECT
public:
    explicit SettingsView(AISettings* aiSettings, QWidget* parent = nullptr);

    // Shows the popover anchored under `anchor` (its right edges aligned
    // when there is no room to the right).
    void popup(QWidget* anchor);
    // The gear's click: opens it, or closes it when open. A click on the
    // anchor that itself just closed the popover does not reopen it.
    void toggle(QWidget* anchor);

    static QString placeholderFor(const QString& providerRawValue);

    // For tests and the window's state.
    QLineEdit* apiKeyField() const { return m_key; }
    QLineEdit* searchURLField() const { return m_url; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* segment(int i) const;
    QPushButton* doneButton() const { return m_done; }

signals:
    void shownChanged(bool shown);

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void reload();
    void updateStatus();
    void updateProvider();

    QPointer<AISettings> m_settings;
    QButtonGroup* m_segments;
    QLineEdit* m_key;
    QLineEdit* m_url;
    QLabel* m_statusIcon;
    QLabel* m_status;
    QPushButton* m_done;
    QElapsedTimer m_sinceHidden;
    QPointer<QWidget> m_anchor;
};
