#pragma once

#include <QLayout>
#include <QList>

// Lays its items out left to right at their preferred sizes and wraps to a
// new row when the width runs out, so that a narrow window gets more rows
// instead of cut or elided controls. An item added flush right goes, with
// the items after it on its row, to the right edge of that row.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr, int hSpacing = 8, int vSpacing = 6);
    ~FlowLayout() override;

    void addWidget(QWidget* w, bool flushRight = false);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    int layOut(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    QList<bool> m_flushRight;
    int m_hSpacing, m_vSpacing;
};
