#pragma once

#include <QWidget>

// Icon, name, version and tagline of the application.
class AboutView : public QWidget {
    Q_OBJECT
public:
    explicit AboutView(QWidget* parent = nullptr);

    // "Version " + version + " (" + build + ")", with "1.0" and "1" standing
    // in for a missing version or build string.
    static QString versionLine(const QString& version, const QString& build);
    static QString versionLine();

    static QString tagline();
};
