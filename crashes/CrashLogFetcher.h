#pragma once

#include "crashes/CrashReport.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <optional>

// Finds the user's crash reports (.ips and .crash files in the reports folder
// and its "Retired" subfolder), parses each into a CrashReport and publishes
// the list, newest first. Lives on the main thread; each signal stands for a
// published property. The parsing operations are static and pure apart from
// file reads, so the scan can run them on the thread pool.
class CrashLogFetcher : public QObject {
    Q_OBJECT
public:
    explicit CrashLogFetcher(QObject* parent = nullptr);
    ~CrashLogFetcher() override;

    // Published state.
    const CrashReportList& reports() const { return m_reports; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }

    // The folder that `scan` reads; the user's reports folder unless a test
    // points it elsewhere.
    QString reportsDirectory() const { return m_reportsDirectory; }
    void setReportsDirectory(const QString& dir) { m_reportsDirectory = dir; }

    // ~/Library/Logs/DiagnosticReports under the user's home; computed once.
    static QString defaultReportsDirectory();
    static QString emptyResultText();
    static QString noStackTraceText();

    // Starts a scan on the thread pool and returns at once; the result arrives
    // through the published state. Overlapping scans each publish their own
    // result when they finish.
    void scan();

    // The scan's work, synchronously: the folder, then its "Retired" subfolder
    // when present, sorted newest first (stable, so equal dates keep the
    // collection order).
    static CrashReportList collectReports(const QString& directory);

    // The .ips and .crash files directly inside `directory`, in name order.
    static CrashReportList scanDirectory(const QString& directory, bool isRetired);

    // Absent only when the file cannot be read or is not valid UTF-8.
    static std::optional<CrashReport> parseReport(const QString& path, bool isRetired);

    // Absent when the text is not a JSON object (with or without its header line).
    static std::optional<CrashReport> parseStructuredReport(const QString& text, const QByteArray& bytes,
                                                            const QString& fileName, const QString& filePath,
                                                            const QDateTime& fallbackDate, bool isRetired);

    static CrashReport parsePlainReport(const QString& text, const QString& fileName, const QString& filePath,
                                        const QDateTime& fallbackDate, bool isRetired);

    // The faulting thread's trace of a structured report's body.
    static QString stackTraceText(const QJsonObject& body, std::optional<qint64> faultingThread);

    // ISO 8601 internet date-time that must carry fractional seconds and a
    // zone designator ("Z" or "+hh:mm"), e.g. 2024-01-15T10:23:45.123Z.
    static std::optional<QDateTime> parseInternetDateTime(const QString& text);

signals:
    void reportsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    void publish(CrashReportList list);
    void setLoading(bool v);
    void setError(const std::optional<QString>& e);

    CrashReportList m_reports;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    QString m_reportsDirectory;
};
