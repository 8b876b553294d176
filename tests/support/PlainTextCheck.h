#pragma once

// Finds widgets that would read untrusted text as markup: labels with text
// that is not set to plain (but those named in `richAllowed`, the Markdown
// renderer's escaped output) and tooltips that carry `hostile` unescaped.

#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace PlainTextCheck {

inline QStringList markupWidgets(QWidget* root, const QString& hostile, const QStringList& richAllowed = {})
{
    QStringList bad;
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        const auto* l = qobject_cast<QLabel*>(w);
        if (l && !l->text().isEmpty() && l->textFormat() != Qt::PlainText && !richAllowed.contains(l->objectName()))
            bad << QStringLiteral("label %1: %2").arg(l->objectName(), l->text().left(40));
        if (w->toolTip().contains(hostile))
            bad << QStringLiteral("tooltip of %1").arg(w->objectName());
    }
    return bad;
}

}  // namespace PlainTextCheck
