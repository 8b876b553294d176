#pragma once

#include "crashes/CrashReport.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

// A file of a reports folder that was not read, and why ("a symlink loop").
struct UnreadReport {
    QString filePath;
    QString reason;
    bool operator==(const UnreadReport&) const = default;
};

// What a scan of a reports folder found.
struct CrashScan {
    CrashReportList reports;     // a report too large to read is listed too, with its reason
    QList<UnreadReport> unread;  // every file not read (those listed too), in scan order
    // The folder itself could not be listed: "No such folder: PATH",
    // "Not a folder: PATH" or "Cannot read PATH: REASON".
    std::optional<QString> folderError;
    bool folderMissing = false;  // the error is "No such folder"
};

// One file read: the report, unless it could not be read; then `reason` says
// why (a report too large to read has both). `missing` when there is no file.
struct ReportRead {
    std::optional<CrashReport> report;
    QString reason;
    bool missing = false;
};

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
    // The files of the last scan that could not be read.
    const QList<UnreadReport>& unread() const { return m_unread; }
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
    // The empty-result text of the user's own folder on this system. A Mac
    // writes its reports there; elsewhere the text names the folder searched
    // and says why it is empty.
    static QString emptyResultText();
    static QString ownFolderEmptyText(const QString& searched, bool onMac);
    // The empty-result text of an opened folder.
    static QString emptyResultText(const QString& folder);

    // The most of one report that is read; a larger file is listed unread.
    static constexpr qint64 maxReportBytes = qint64(64) << 20;

    // Starts a scan on the thread pool and returns at once; the result arrives
    // through the published state. A new scan stops the one still running
    // (which publishes nothing), as do quitting and the fetcher's end.
    void scan();

    // The scan's work, synchronously: the folder, then its "Retired" subfolder
    // when present and not the folder itself, sorted newest first (stable, so
    // equal dates keep the collection order). With `withDigest`, every report
    // carries its contentDigest. Stops early, with what it has, once
    // `cancelled` is set.
    static CrashScan collectReports(const QString& directory, bool withDigest = false,
                                    const std::atomic_bool* cancelled = nullptr);

    // The .ips and .crash files directly inside `directory`, in name order.
    static CrashScan scanDirectory(const QString& directory, bool isRetired, bool withDigest = false,
                                   const std::atomic_bool* cancelled = nullptr);

    // Reads one file (never blocking, at most maxReportBytes) and parses it,
    // structured first, else as plain text. `keepRaw` keeps its rawContent.
    static ReportRead readReport(const QString& path, bool isRetired, bool withDigest = false, bool keepRaw = false);

    // The whole text of a report file, as the raw view shows it; absent with
    // `reason` set when it cannot be read.
    static std::optional<QString> readReportText(const QString& path, QString* reason);

signals:
    void reportsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    void publish(CrashScan scan);
    void setLoading(bool v);
    void setError(const std::optional<QString>& e);
    void cancelRunning();

    CrashReportList m_reports;
    QList<UnreadReport> m_unread;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    QString m_reportsDirectory;
    std::optional<QString> m_openedFolder;
    std::shared_ptr<std::atomic_bool> m_cancel;  // of the scan running
};
