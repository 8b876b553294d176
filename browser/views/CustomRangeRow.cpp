#include "browser/views/CustomRangeRow.h"

#include "browser/FetchRange.h"
#include "ui/Widgets.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <utility>

namespace {
QDateTime toDateTime(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0));
}

double toSeconds(const QDateTime& d)
{
    return double(d.toMSecsSinceEpoch()) / 1000.0;
}

QDateTimeEdit* field(const QString& name, double seconds)
{
    auto* edit = new QDateTimeEdit(toDateTime(seconds));
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    edit->setCalendarPopup(true);
    return edit;
}
}  // namespace

CustomRangeRow::CustomRangeRow(FetchRange* range, QWidget* parent) : QWidget(parent), m_range(range)
{
    setObjectName(QStringLiteral("customRow"));
    const FilterPipeline& pipeline = range->pipeline();
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 6, 12, 0);
    h->addWidget(new QLabel(QStringLiteral("From:")));
    QDateTimeEdit* start = field(QStringLiteral("customStart"), pipeline.customStart());
    h->addWidget(start);
    h->addWidget(new QLabel(QStringLiteral("To:")));
    QDateTimeEdit* end = field(QStringLiteral("customEnd"), pipeline.customEnd());
    h->addWidget(end);
    connect(start, &QDateTimeEdit::dateTimeChanged, this,
            [this](const QDateTime& d) { m_range->setCustomRange(toSeconds(d), m_range->pipeline().customEnd()); });
    connect(end, &QDateTimeEdit::dateTimeChanged, this,
            [this](const QDateTime& d) { m_range->setCustomRange(m_range->pipeline().customStart(), toSeconds(d)); });
    // Enter in either field applies, as Apply does (the edit commits what was typed first).
    for (QDateTimeEdit* edit : {start, end})
        if (auto* text = edit->findChild<QLineEdit*>())
            connect(text, &QLineEdit::returnPressed, range, &FetchRange::applyCustomRange);
    auto* apply = new QPushButton(QStringLiteral("Apply"));
    apply->setObjectName(QStringLiteral("applyButton"));
    apply->setDefault(true);
    setProminent(apply);
    connect(apply, &QPushButton::clicked, range, &FetchRange::applyCustomRange);
    h->addWidget(apply);
    h->addStretch(1);

    auto refresh = [this, start, end] {
        const FilterPipeline& pipeline = m_range->pipeline();
        setVisible(pipeline.showCustomRange());
        // Dates set by the model (a span dragged on the timeline, a restored
        // range) show here without being sent back.
        for (auto [edit, seconds] : {std::pair{start, pipeline.customStart()}, {end, pipeline.customEnd()}}) {
            if (toSeconds(edit->dateTime()) != seconds) {
                const QSignalBlocker quiet(edit);
                edit->setDateTime(toDateTime(seconds));
            }
        }
    };
    connect(&pipeline, &FilterPipeline::rangeChanged, this, refresh);
    refresh();
}
