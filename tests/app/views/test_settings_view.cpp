#include "ai/AISettings.h"
#include "app/views/SettingsView.h"
#include "logs/Platform.h"
#include "tests/support/TestEnv.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestSettingsView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init() { TestEnv::clearSettings(); }

    void editsApplyAtOnce()
    {
        AISettings settings;
        SettingsView view(&settings);
        QWidget anchor;
        anchor.resize(30, 24);
        anchor.move(200, 100);
        anchor.show();
        view.popup(&anchor);
        QVERIFY(view.isVisible());
        QCOMPARE(view.width(), 380);
        QCOMPARE(view.findChild<QLabel*>("settingsTitle")->text(), QStringLiteral("AI Log Explainer Settings"));
        QCOMPARE(view.apiKeyField()->echoMode(), QLineEdit::Password);
        QCOMPARE(view.apiKeyField()->placeholderText(), QStringLiteral("Paste your Anthropic API key"));
        QCOMPARE(view.segment(0)->text(), QStringLiteral("Anthropic"));
        QCOMPARE(view.segment(1)->text(), QStringLiteral("OpenAI"));
        QVERIFY(view.segment(0)->isChecked());
        QCOMPARE(view.statusLabel()->text(), QStringLiteral("API key required"));
        QCOMPARE(view.searchURLField()->placeholderText(), AISettings::defaultSearchEngineURL());
        QCOMPARE(view.searchURLField()->text(), AISettings::defaultSearchEngineURL());
        QCOMPARE(view.findChild<QLabel*>("searchURLNote")->text(), QStringLiteral("Query terms are appended to this URL"));

        // Spaces only: still required; each keystroke is stored.
        QTest::keyClicks(view.apiKeyField(), "  ");
        QCOMPARE(settings.apiKey(), QStringLiteral("  "));
        QCOMPARE(Platform::settings().value("aiAPIKey").toString(), QStringLiteral("  "));
        QCOMPARE(view.statusLabel()->text(), QStringLiteral("API key required"));
        QTest::keyClicks(view.apiKeyField(), "sk");
        QCOMPARE(settings.apiKey(), QStringLiteral("  sk"));
        QCOMPARE(view.statusLabel()->text(), QStringLiteral("API key set"));

        // Switching the provider keeps the key and changes the placeholder.
        QTest::mouseClick(view.segment(1), Qt::LeftButton);
        QCOMPARE(settings.provider(), AIProvider::openai);
        QCOMPARE(Platform::settings().value("aiProvider").toString(), QStringLiteral("OpenAI"));
        QCOMPARE(view.apiKeyField()->placeholderText(), QStringLiteral("Paste your OpenAI API key"));
        QCOMPARE(settings.apiKey(), QStringLiteral("  sk"));

        // Emptying the search URL stores the empty string; the default is not applied.
        view.searchURLField()->selectAll();
        QTest::keyClick(view.searchURLField(), Qt::Key_Backspace);
        QCOMPARE(settings.searchEngineURL(), QString());
        QVERIFY(Platform::settings().contains("searchEngineURL"));
        QCOMPARE(Platform::settings().value("searchEngineURL").toString(), QString());

        // Done only closes.
        view.doneButton()->click();
        QVERIFY(!view.isVisible());
        QCOMPARE(settings.apiKey(), QStringLiteral("  sk"));

        // A change made elsewhere shows when the popover is open again.
        settings.setAPIKey("other");
        view.popup(&anchor);
        QCOMPARE(view.apiKeyField()->text(), QStringLiteral("other"));
        QVERIFY(view.segment(1)->isChecked());
        view.close();

        // After a restart (a new settings object and view) the values come back.
        AISettings reread;
        SettingsView again(&reread);
        again.popup(&anchor);
        QCOMPARE(again.apiKeyField()->text(), QStringLiteral("other"));
        QCOMPARE(again.searchURLField()->text(), QString());
        QVERIFY(again.segment(1)->isChecked());
        again.close();
    }

    void anchoredUnderTheGear()
    {
        AISettings settings;
        SettingsView view(&settings);
        QWidget anchor;
        anchor.setGeometry(100, 80, 30, 24);
        anchor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&anchor));
        view.popup(&anchor);
        const QPoint anchorBottom = anchor.mapToGlobal(QPoint(0, anchor.height()));
        QVERIFY(view.geometry().top() >= anchorBottom.y());
        QVERIFY(view.geometry().top() <= anchorBottom.y() + 8);
        // Toggle closes it when open.
        view.toggle(&anchor);
        QVERIFY(!view.isVisible());
    }
};

QTEST_MAIN(TestSettingsView)
#include "test_settings_view.moc"
