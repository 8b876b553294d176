#include "ui/SeverityPalette.h"

#include <QTest>

namespace {
QStringList names(std::initializer_list<QColor> colors)
{
    QStringList out;
    for (const QColor& c : colors)
        out << c.name();
    return out;
}
}  // namespace

// The level colours every view draws with; the screenshots hold them.
class TestSeverityPalette : public QObject {
    Q_OBJECT
private slots:
    void table_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("dark");   // tone, message
        QTest::addColumn<QStringList>("light");  // badge, badge text, row tint
        const QStringList undefinedDark{"#666666", "#595959"}, undefinedLight{"#7f8c8d", "#ffffff", "#fafafa"};
        QTest::newRow("undefined") << 0 << undefinedDark << undefinedLight;
        QTest::newRow("debug") << 1 << undefinedDark << QStringList{"#95a5a6", "#ffffff", "#fafafa"};
        QTest::newRow("info") << 2 << QStringList{"#b3b3b3", "#8c8c8c"} << QStringList{"#2980b9", "#ffffff", "#ebf5fb"};
        QTest::newRow("notice") << 3 << QStringList{"#ffd933", "#bfb880"} << QStringList{"#f1c40f", "#000000", "#fff2cc"};
        QTest::newRow("error") << 4 << QStringList{"#ff9933", "#bf9e80"} << QStringList{"#e67e22", "#ffffff", "#fce4d6"};
        QTest::newRow("fault") << 5 << QStringList{"#ff4d4d", "#bf8c8c"} << QStringList{"#c0392b", "#ffffff", "#ffd6d6"};
        QTest::newRow("below the levels") << -1 << undefinedDark << undefinedLight;
        QTest::newRow("above the levels") << 6 << undefinedDark << undefinedLight;
    }

    void table()
    {
        QFETCH(int, level);
        const SeverityPalette::Colors& dark = SeverityPalette::colors(level, true);
        const SeverityPalette::Colors& light = SeverityPalette::colors(level, false);
        QTEST(names({dark.tone, dark.message}), "dark");
        // The dark list draws no badge and no tint: the level is written in its tone.
        QCOMPARE(names({dark.label, dark.badgeText}), names({dark.tone, dark.tone}));
        QCOMPARE(dark.rowTint.alpha(), 0);
        QTEST(names({light.tone, light.badgeText, light.rowTint}), "light");
        QCOMPARE(names({light.label, light.message}), QStringList({"#212121", "#212121"}));
    }
};

QTEST_GUILESS_MAIN(TestSeverityPalette)
#include "test_severity_palette.moc"
