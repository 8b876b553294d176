#pragma once

#include "crashes/CrashReport.h"

#include <QScrollArea>

#include <optional>

class AISettings;
class ExplainController;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;
class PlainTextViewer;

// The selected crash report: title line with the badge, "Crash Info", the
// faulting thread's stack trace, the AI explanation (through the crash
// explanation cache) and, on request, the raw report text, read again from
// the file when the report does not carry it. A report not read shows its
// file name and the reason only; one of which nothing was parsed says so
// above its raw text, with nothing to explain. Built once and updated in place when the
// report or the explain state changes.
class CrashDetailPane : public QScrollArea {
    Q_OBJECT
public:
    explicit CrashDetailPane(AISettings* aiSettings, QWidget* parent = nullptr);
    ~CrashDetailPane() override;

    // Shows `crash`. A different report (by id) resets the explanation state
    // to the cached explanation of the new report, or none.
    void setCrash(const CrashReport& crash);
    const std::optional<CrashReport>& crash() const { return m_crash; }

    // Height of the pane, in points, where the window has room; shorter
    // (never cut off by the window's edge) where it has not.
    void setPaneHeight(double height);
    QSize sizeHint() const override;
    // Tallest the raw report box grows before it scrolls on its own.
    static constexpr int kRawBoxMaxHeight = 360;
    // Most stack trace lines shown (a header and 30 frames are 31), and the
    // longest; the raw view has the whole text.
    static constexpr qsizetype kMaxTraceLines = 64;
    static constexpr qsizetype kMaxTraceLineChars = 1024;
    static QString nothingParsedText();

    const std::optional<QString>& explanation() const;
    bool isExplaining() const;
    const std::optional<QString>& explainError() const;
    bool showRawContent() const { return m_showRawContent; }

public slots:
    // The "Explain this crash" action.
    void explain();
    void toggleRaw();

private:
    void build();
    void refresh();
    void refreshExplanation();
    void refreshRaw();
    void setRawText(const QString& text);

    ExplainController* m_explainer;
    std::optional<CrashReport> m_crash;
    bool m_showRawContent = false;
    bool m_rawFilled = false;  // the raw box holds the shown report's text
    int m_height = 0;

    QWidget* m_content = nullptr;
    QLabel* m_appName = nullptr;
    QLabel* m_appVersion = nullptr;
    QLabel* m_badge = nullptr;
    struct InfoRow {
        QLabel* label;
        QLabel* value;
    };
    InfoRow m_reason{}, m_exception{}, m_thread{}, m_os{}, m_device{};
    QGroupBox* m_infoBox = nullptr;
    QLabel* m_nothingParsed = nullptr;
    QGroupBox* m_traceBox = nullptr;
    QLabel* m_trace = nullptr;
    QGroupBox* m_aiBox = nullptr;
    QWidget* m_explained = nullptr;  // the cached line, the text and the note
    QLabel* m_explanationText = nullptr;
    QLabel* m_errorText = nullptr;
    QPushButton* m_explainButton = nullptr;
    QWidget* m_explaining = nullptr;
    QPushButton* m_rawButton = nullptr;
    QGroupBox* m_rawBox = nullptr;
    PlainTextViewer* m_rawText = nullptr;
    QLabel* m_configureHint = nullptr;
};
