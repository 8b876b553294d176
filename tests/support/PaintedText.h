#pragma once

// A paint device that records the text drawn on it, so that tests can check
// what a delegate paints without comparing pixels.

#include <QPaintDevice>
#include <QPaintEngine>
#include <QStringList>
#include <QTextItem>

class PaintedText : public QPaintDevice {
public:
    explicit PaintedText(QSize size = {1200, 40}, qreal dpr = 1) : m_size(size), m_dpr(dpr), m_engine(this) {}

    QPaintEngine* paintEngine() const override { return const_cast<Engine*>(&m_engine); }
    const QStringList& texts() const { return m_texts; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmWidthMM: return m_size.width() / 4;
        case PdmHeightMM: return m_size.height() / 4;
        case PdmNumColors: return 0x7fffffff;
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return int(m_dpr);
        case PdmDevicePixelRatioScaled: return int(m_dpr * devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(PaintedText* owner) : QPaintEngine(AllFeatures), m_owner(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { m_owner->m_texts << item.text(); }
        Type type() const override { return User; }

    private:
        PaintedText* m_owner;
    };

    QSize m_size;
    qreal m_dpr;
    Engine m_engine;
    QStringList m_texts;
};
