#include "browser/views/QueryNoticeRow.h"

#include "browser/WindowModel.h"

#include <QHBoxLayout>
#include <QLabel>

QueryNoticeRow::QueryNoticeRow(WindowModel* model, QWidget* parent)
    : TintedBar(QStringLiteral("info.circle"), Tint::orange, parent), m_model(model)
{
    setObjectName(QStringLiteral("queryNoticeRow"));
    row()->setContentsMargins(12, 4, 12, 4);
    row()->setSpacing(6);
    row()->setAlignment(icon(), Qt::AlignTop);
    // Wrapped, so that a narrow window shows the whole sentence on two lines.
    label()->setWordWrap(true);
    label()->setObjectName(QStringLiteral("queryNotice"));
    row()->setStretchFactor(label(), 1);
    connect(model, &WindowModel::contentChanged, this, &QueryNoticeRow::refresh);
    refresh();
}

void QueryNoticeRow::refresh()
{
    // A cut list, or one that lacks whole files, is told in the row's tint;
    // what was skipped as damaged, quietly.
    const std::optional<QString> cut = m_model->cutNotice();
    const std::optional<QString> skipped = m_model->skipNotice();
    QStringList notice;
    for (const std::optional<QString>& part : {cut, skipped})
        if (part)
            notice << *part;
    label()->setText(notice.join(QLatin1Char(' ')));
    setTinted(cut.has_value() || m_model->lacksFiles());
    setVisible(!notice.isEmpty());
}
