#include "app/views/CollectConfirmSheet.h"

#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using TextStyles::Style;

QString CollectConfirmSheet::message()
{
    return QStringLiteral("This will copy the system journal's entries from the past hour into a folder of journal "
                          "files (.logarchive) on your Desktop and open it.\n\nNo password is asked: the copy holds "
                          "what your account may read, which is the whole journal for members of the "
                          "systemd-journal or adm group.");
}

CollectConfirmSheet::CollectConfirmSheet(QWidget* parent)
    : QDialog(parent, Qt::Sheet | Qt::Dialog)
{
    setObjectName(QStringLiteral("collectConfirmSheet"));
    setWindowTitle(QStringLiteral("Collect System Logs"));
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setFixedWidth(380);

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(24, 24, 24, 24);
    col->setSpacing(16);

    auto* icon = new QLabel;
    icon->setPixmap(ViewStyle::pixmap(QStringLiteral("tray.and.arrow.down"), ViewStyle::accent(), 28));
    col->addWidget(icon, 0, Qt::AlignHCenter);

    auto* title = TextStyles::label(QStringLiteral("Collect System Logs"), Style::headline);
    title->setObjectName(QStringLiteral("collectTitle"));
    col->addWidget(title, 0, Qt::AlignHCenter);

    auto* text = TextStyles::label(message(), Style::body, true, true);
    text->setObjectName(QStringLiteral("collectMessage"));
    col->addWidget(TextStyles::centredWrapped(text, 300));

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("collectCancel"));
    cancel->setAutoDefault(false);
    auto* collect = new QPushButton(QStringLiteral("Collect"));
    collect->setObjectName(QStringLiteral("collectConfirm"));
    collect->setDefault(true);
    setProminent(collect);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(collect, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(cancel);
    row->addWidget(collect);
    row->addStretch(1);
    col->addLayout(row);
}
