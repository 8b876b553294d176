#include "crashes/views/CrashRow.h"

#include "logs/VisibleText.h"
#include "ui/PlainText.h"
#include "ui/TextStyles.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>

#include <algorithm>

using TextStyles::Style;

namespace {

// The text a report shows in a column, for sorting by it.
QString sortText(const CrashReport& r, CrashListModel::SortKey key)
{
    switch (key) {
    case CrashListModel::SortKey::app: return r.unreadReason.isEmpty() ? r.appName : r.fileName;
    case CrashListModel::SortKey::type: return r.crashTypeLabel();
    case CrashListModel::SortKey::file: return r.fileName;
    case CrashListModel::SortKey::date: break;
    }
    return {};
}

constexpr int kBadgePadding = 12;  // inside the badge, both sides
constexpr int kBadgeGap = 10;      // between the badge and the file name

}  // namespace

void CrashListModel::setReports(const CrashReportList& reports)
{
    beginResetModel();
    m_reports = reports;
    sortReports();
    endResetModel();
}

void CrashListModel::sortBy(SortKey key)
{
    m_descending = key == m_sortKey ? !m_descending : key == SortKey::date;
    m_sortKey = key;
    beginResetModel();
    sortReports();
    endResetModel();
}

void CrashListModel::sortReports()
{
    const SortKey key = m_sortKey;
    const bool descending = m_descending;
    auto less = [key](const CrashReport& a, const CrashReport& b) {
        if (key == SortKey::date)
            return a.date < b.date;
        return QString::compare(sortText(a, key), sortText(b, key), Qt::CaseInsensitive) < 0;
    };
    std::stable_sort(m_reports.begin(), m_reports.end(), [&](const CrashReport& a, const CrashReport& b) {
        return descending ? less(b, a) : less(a, b);
    });
}

const CrashReport* CrashListModel::reportAt(int row) const
{
    return row >= 0 && row < m_reports.size() ? &m_reports.at(row) : nullptr;
}

int CrashListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_reports.size());
}

QVariant CrashListModel::data(const QModelIndex& index, int role) const
{
    const CrashReport* r = reportAt(index.row());
    if (!r)
        return {};
    switch (role) {
    case Qt::DisplayRole: return VisibleText::shownName(r->unreadReason.isEmpty() ? r->appName : r->fileName);
    case ReportIndexRole: return index.row();
    default: return {};
    }
}

CrashRow::CrashRow(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

int CrashRow::typeWidth()
{
    const QFontMetrics bm(TextStyles::font(Style::caption, true, QFont::Bold));
    // Eliding measures a little wider than the advance: a few points to spare.
    return bm.horizontalAdvance(QStringLiteral("EXC_BAD_ACCESS (SIGSEGV)")) + 4 + kBadgePadding + kBadgeGap;
}

QString CrashRow::toolTipAt(const QRect& rect, const QPoint& pos, const CrashReport& report)
{
    const int typeLeft = rect.left() + sideInset + dateWidth + appWidth;
    const int typeWidth = CrashRow::typeWidth();
    if (!report.unreadReason.isEmpty())
        return VisibleText::shownName(report.filePath) + QLatin1Char('\n') + report.unreadReason;
    if (pos.x() >= typeLeft && pos.x() < typeLeft + typeWidth)
        return VisibleText::shownName(report.crashTypeLabel());
    return VisibleText::shownName(report.filePath);
}

bool CrashRow::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                         const QModelIndex& index)
{
    const auto* model = qobject_cast<const CrashListModel*>(index.model());
    const CrashReport* report = model ? model->reportAt(index.row()) : nullptr;
    if (event->type() != QEvent::ToolTip || !report)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    PlainText::showToolTip(event->globalPos(), toolTipAt(option.rect, event->pos(), *report), view);
    return true;
}

QString CrashRow::dateString(const QDateTime& date)
{
    // One formatting rule for every row; QDateTime formatting is stateless.
    return date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool CrashRow::isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor CrashRow::selectionColor(const QPalette& palette, bool darkScheme)
{
    QColor c = palette.color(QPalette::Highlight);
    c.setAlphaF(darkScheme ? 0.25 : 0.15);
    return c;
}

void CrashRow::paintRow(QPainter* p, const QRect& rect, const CrashReport& report, bool isSelected,
                        const QString& dateString, bool darkScheme, const QPalette& palette)
{
    p->save();
    if (isSelected)
        p->fillRect(rect, selectionColor(palette, darkScheme));

    const QFont body = TextStyles::font(Style::body, true);
    const QFont small = TextStyles::font(Style::caption2);
    const QFont badgeFont = TextStyles::font(Style::caption, true, QFont::Bold);
    const QColor text = palette.color(QPalette::WindowText);
    QColor secondary = text;
    secondary.setAlphaF(0.58);

    const QRect inner = rect.adjusted(sideInset, 2, -sideInset, -2);
    int x = inner.left();
    const int typeWidth = CrashRow::typeWidth();

    // Date.
    p->setFont(body);
    p->setPen(text);
    const QFontMetrics fm(body);
    QRect cell(x, inner.top(), dateWidth, inner.height());
    p->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(dateString, Qt::ElideRight, cell.width()));
    x += dateWidth;

    // App name, then "(archived)". A report not read has its reason across
    // the app and type columns instead, and no badge.
    const bool unread = !report.unreadReason.isEmpty();
    cell = QRect(x, inner.top(), unread ? appWidth + typeWidth : appWidth, inner.height());
    const QFontMetrics sm(small);
    const QString archived = QStringLiteral("(archived)");
    const int archivedWidth = report.isRetired ? sm.horizontalAdvance(archived) + 4 : 0;
    if (unread)
        p->setPen(secondary);
    const QString app = fm.elidedText(VisibleText::shownName(unread ? report.unreadReason : report.appName),
                                      Qt::ElideRight, qMax(0, cell.width() - archivedWidth - 4));
    p->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter, app);
    if (report.isRetired) {
        const int ax = cell.left() + fm.horizontalAdvance(app) + 4;
        p->setFont(small);
        p->setPen(secondary);
        p->drawText(QRect(ax, cell.top(), cell.right() - ax, cell.height()), Qt::AlignLeft | Qt::AlignVCenter,
                    archived);
    }
    x += appWidth;

    // Badge.
    cell = QRect(x, inner.top(), qBound(3 * kBadgePadding, inner.right() + 1 - x, typeWidth), inner.height());
    const QFontMetrics bm(badgeFont);
    const QString label = bm.elidedText(VisibleText::shownName(report.crashTypeLabel()), Qt::ElideRight,
                                        cell.width() - kBadgePadding - kBadgeGap);
    const int bw = bm.horizontalAdvance(label) + kBadgePadding;
    const int bh = bm.height() + 4;
    const QRectF badge(cell.left(), cell.center().y() - bh / 2.0 + 0.5, bw, bh);
    if (!unread) {
        p->setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(badge, 4, 4);
        p->fillPath(path, badgeColor());
        p->setFont(badgeFont);
        p->setPen(Qt::white);
        p->drawText(badge, Qt::AlignCenter, label);
    }
    x += typeWidth;

    // File name.
    p->setFont(body);
    p->setPen(secondary);
    cell = QRect(x, inner.top(), qMax(0, inner.right() - x), inner.height());
    p->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                fm.elidedText(VisibleText::shownName(report.fileName), Qt::ElideRight, cell.width()));
    p->restore();
}

void CrashRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const CrashListModel*>(index.model());
    const CrashReport* r = model ? model->reportAt(index.row()) : nullptr;
    if (!r)
        return;
    const bool selected = m_selectedID && *m_selectedID == r->id;
    paintRow(painter, option.rect, *r, selected, dateString(r->date), isDark(option.palette), option.palette);
}

QSize CrashRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const QFontMetrics fm(TextStyles::font(Style::body, true));
    const QFontMetrics bm(TextStyles::font(Style::caption, true, QFont::Bold));
    return {sideInset * 2 + dateWidth + appWidth + typeWidth() + 120, qMax(fm.height(), bm.height() + 4) + 6};
}
