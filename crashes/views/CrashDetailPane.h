#pragma once

#include "crashes/CrashReport.h"

#include <QPointer>
#include <QScrollArea>

#include <optional>

class AISettings;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

// The selected crash report: title line with the badge, "Crash Info", the
// faulting thread's stack trace, the AI explanation (through the crash
// explanation cache) and, on request, the raw report text.
class CrashDetailPane : public QScrollArea {
    Q_OBJECT
public:
    explicit CrashDetailPane(AISettings* aiSettings, QWidget* parent = nullptr);
    ~CrashDetailPane() override;

    // Shows `crash`. A different report (by id) resets the explanation state
    // to the cached explanation of the new report, or none.
    void setCrash(const CrashReport& crash);
    const std::optional<CrashReport>& crash() const { return m_crash; }

    // Fixed height of the pane, in points.
    void setPaneHeight(double height);

    const std::optional<QString>& explanation() const { return m_explanation; }
    bool isExplaining() const { return m_isExplaining; }
    const std::optional<QString>& explainError() const { return m_explainError; }
    bool showRawContent() const { return m_showRawContent; }

public slots:
    // The "Explain this crash" action.
    void explain();
    void toggleRaw();

private:
    void rebuild();
    void updateActions();
    void finishRequest(const CrashReport& requested, const std::optional<QString>& answer,
                       const QString& error);

    AISettings* m_aiSettings;
    std::optional<CrashReport> m_crash;
    std::optional<QString> m_explanation;
    bool m_isExplaining = false;
    std::optional<QString> m_explainError;
    bool m_showRawContent = false;

    QWidget* m_content = nullptr;
    QVBoxLayout* m_column = nullptr;
    QGroupBox* m_aiBox = nullptr;
    QPushButton* m_explainButton = nullptr;
    QWidget* m_explaining = nullptr;
    QPushButton* m_rawButton = nullptr;
    QGroupBox* m_rawBox = nullptr;
};
