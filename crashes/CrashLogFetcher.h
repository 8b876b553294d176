#pragma once

#include "crashes/CrashReport.h"

#include <QObject>
#include <QString>

#include <optional>

// Finds the user's crash reports (.ips and .crash files in the reports folder
// and its "Retired" subfolder), parses each into a CrashReport and publishes
// the list, newest first. Lives on the main thread; each signal stands for a
// published property. The scan's steps are static and share nothing, so the
// scan runs them on the thread pool; the formats are CrashParser's.
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

    // A folder the user opened (a copied reports folder, a bundle's): scans
    // read it, with its "Retired" subfolder, instead of the user's own until
    // it is set back to none. Scan after setting it: a running scan of the
    // folder before publishes nothing.
    const std::optional<QString>& openedFolder() const { return m_openedFolder; }
    void setOpenedFolder(const std::optional<QString>& dir) { m_openedFolder = dir; }

    // ~/Library/Logs/DiagnosticReports under the user's home; computed once.
    static QString defaultReportsDirectory();
    static QString emptyResultText();
    // The empty-result text of an opened folder.
    static QString emptyResultText(const QString& folder);

    // Starts a scan on the thread pool and returns at once; the result arrives
    // through the published state. Overlapping scans each publish their own
    // result when they finish.
    void scan();

    // The scan's work, synchronously: the folder, then its "Retired" subfolder
    // when present, sorted newest first (stable, so equal dates keep the
    // collection order). With `withDigest`, every report carries its
    // contentDigest.
    static CrashReportList collectReports(const QString& directory, bool withDigest = false);

    // The .ips and .crash files directly inside `directory`, in name order.
    static CrashReportList scanDirectory(const QString& directory, bool isRetired, bool withDigest = false);

    // Reads one file and parses it, structured first, else as plain text.
    // Absent only when the file cannot be read or is not valid UTF-8.
    static std::optional<CrashReport> parseReport(const QString& path, bool isRetired, bool withDigest = false);

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
    std::optional<QString> m_openedFolder;
};
