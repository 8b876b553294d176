#include "crashes/views/CrashTableHeader.h"

#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace {

const char* const kTitles[] = {"Date", "App", "Type", "File"};

}  // namespace

CrashTableHeader::CrashTableHeader(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("crashHeader"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(CrashRow::sideInset, 4, CrashRow::sideInset, 4);
    row->setSpacing(0);
    const QFont f = TextStyles::font(TextStyles::Style::caption, true, QFont::Bold);
    const int widths[] = {CrashRow::dateWidth, CrashRow::appWidth, CrashRow::typeWidth(), 0};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton;
        b->setObjectName(QStringLiteral("crashHeaderTitle"));
        b->setFont(f);
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        // The focus underline has its room kept while hidden, so focus does not move the row.
        b->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: none;"
                                        " border-bottom: 2px solid transparent; padding: 0 2px; }"
                                        "QPushButton:focus { border-bottom-color: palette(highlight); }"));
        b->setFocusPolicy(Qt::TabFocus);  // a click leaves the arrow keys with the list
        if (widths[i] > 0)
            b->setFixedWidth(widths[i]);
        const auto key = CrashListModel::SortKey(i);
        connect(b, &QPushButton::clicked, this, [this, key] { emit sortRequested(key); });
        row->addWidget(b, widths[i] > 0 ? 0 : 1);
        m_titles << b;
    }
    setSort(CrashListModel::SortKey::date, true);
}

void CrashTableHeader::setSort(CrashListModel::SortKey key, bool descending)
{
    for (int i = 0; i < m_titles.size(); ++i) {
        const QString title = QString::fromLatin1(kTitles[i]);
        m_titles[i]->setText(i != int(key) ? title : title + (descending ? QStringLiteral(" \u2193") : QStringLiteral(" \u2191")));
    }
}
