#pragma once

#include <QStringList>
#include <QWidget>

// The user guide: a vertically scrolling column of titled sections, each a
// list of bulleted lines. Static; reads nothing but its own texts.
class HelpView : public QWidget {
    Q_OBJECT
public:
    struct Section {
        QString title;
        QStringList items;
    };

    explicit HelpView(QWidget* parent = nullptr);

    // The sections in the order shown.
    static QList<Section> sections();

    QSize sizeHint() const override { return {600, 700}; }
};
