#pragma once

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

    static QString placeholderFor(const QString& providerName);

    // For tests and the window's state.
    QLineEdit* apiKeyField() const { return m_key; }
    QLineEdit* searchURLField() const { return m_url; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* segment(int i) const;
    QPushButton* doneButton() const { return m_done; }

protected:
    void showEvent(QShowEvent* e) override;

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
};
