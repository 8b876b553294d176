#include "app/views/AboutView.h"

#include "ui/AppIdentity.h"
#include "ui/TextStyles.h"

#include <QLabel>
#include <QVBoxLayout>

using TextStyles::Style;

QString AboutView::versionLine(const QString& version, const QString& build)
{
    return QStringLiteral("Version ") + (version.isEmpty() ? QStringLiteral("1.0") : version) + QStringLiteral(" (") + (build.isEmpty() ? QStringLiteral("1") : build) + QStringLiteral(")");
}

QString AboutView::versionLine()
{
    return versionLine(AppIdentity::versionString(), AppIdentity::buildString());
}

QString AboutView::tagline()
{
    return QStringLiteral("When something breaks on a Linux machine or a Mac, Vellacord gets you to the answer fast. "
                          "A native viewer of the systemd journal and of Mac logs, and a crash analyzer, for "
                          "system administrators.");
}

AboutView::AboutView(QWidget* parent)
    : QWidget(parent)
{
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(32, 28, 32, 28);
    col->setSpacing(10);

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(AppIdentity::icon().pixmap(64, 64));
    icon->setFixedSize(64, 64);
    col->addWidget(icon, 0, Qt::AlignHCenter);

    auto* name = TextStyles::label(QStringLiteral("Vellacord"), Style::title);
    name->setFont(TextStyles::font(Style::title, false, QFont::Bold));
    name->setObjectName(QStringLiteral("aboutName"));
    col->addWidget(name, 0, Qt::AlignHCenter);

    auto* version = TextStyles::label(versionLine(), Style::caption, true);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    col->addWidget(version, 0, Qt::AlignHCenter);

    auto* tag = TextStyles::label(tagline(), Style::body, false, true);
    tag->setObjectName(QStringLiteral("aboutTagline"));
    col->addWidget(TextStyles::centredWrapped(tag, 340));
}
