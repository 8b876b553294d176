#pragma once

#include "crashes/CrashReport.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <QUuid>

// The reports of the crash table, sorted by one column: newest first until
// the user picks another (ties keep the fetcher's order).
class CrashListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { ReportIndexRole = Qt::UserRole + 1 };
    enum class SortKey { date,
                         app,
                         type,
                         file };

    using QAbstractListModel::QAbstractListModel;

    void setReports(const CrashReportList& reports);
    // A click on a column's title: the column in use again reverses; another
    // starts A to Z, or newest first for the date.
    void sortBy(SortKey key);
    SortKey sortKey() const { return m_sortKey; }
    bool sortDescending() const { return m_descending; }
    const CrashReportList& reports() const { return m_reports; }
    const CrashReport* reportAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void sortReports();

    CrashReportList m_reports;
    SortKey m_sortKey = SortKey::date;
    bool m_descending = true;
};

// One line of the crash table, drawn by the list's delegate: date, app name
// (with "(archived)" for retired reports), the red crash-type badge and the
// file name; a report not read shows its reason in place of the name and
// badge. Names are shown as VisibleText::shownName makes them. The selected
// report is named by id, not by the list's own selection, so that a click
// can toggle it off.
class CrashRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CrashRow(QObject* parent = nullptr);

    void setSelectedID(const std::optional<QUuid>& id) { m_selectedID = id; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Draws one row into `rect`.
    static void paintRow(QPainter* p, const QRect& rect, const CrashReport& report, bool isSelected,
                         const QString& dateString, bool darkScheme, const QPalette& palette);

    // Over the badge the whole crash type (a narrow row cuts it), elsewhere the
    // file's path; for a report not read, the path and the reason.
    static QString toolTipAt(const QRect& rect, const QPoint& pos, const CrashReport& report);
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The list's date text, "yyyy-MM-dd HH:mm:ss" in the local time zone.
    static QString dateString(const QDateTime& date);

    // Column widths of the table (the file name takes the rest).
    static constexpr int dateWidth = 160;
    static constexpr int appWidth = 150;
    // Room for a typical type's badge whole ("EXC_BAD_ACCESS (SIGSEGV)");
    // a row too narrow for it cuts the badge instead.
    static int typeWidth();
    static constexpr int sideInset = 12;

    static QColor badgeColor() { return QColor(192, 57, 43); }
    static QColor selectionColor(const QPalette& palette, bool darkScheme);
    static bool isDark(const QPalette& palette);

private:
    std::optional<QUuid> m_selectedID;
};
