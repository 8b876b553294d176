// The texts that follow the machine an entry came from: a Mac source keeps
// every text as it was, a Linux source (the systemd journal) gets its own.

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "app/views/APIKeyHelpView.h"
#include "app/views/AboutView.h"
#include "app/views/CollectConfirmSheet.h"
#include "browser/EntryText.h"
#include "browser/FilterPipeline.h"
#include "browser/views/DetailPane.h"
#include "browser/views/FetchErrorPanel.h"
#include "logs/LogFetcher.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/Entries.h"
#include "tests/support/TestEnv.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QString macExplain = QStringLiteral(
    "You are a macOS system expert helping a Windows administrator understand Mac system logs. Explain this log entry "
    "in plain English. Tell them what it means, whether it's normal or a genuine problem, and what action if any they "
    "should take. Be concise and direct. After your explanation, on a new line, add a JSON block with any process name "
    "translations you can identify from the log entry. Format: PROCESS_NAMES: {\"raw_identifier\": \"Plain English "
    "Name\"} Only include entries you are confident about. If unsure, use: PROCESS_NAMES: {}");
const QString macAnalysis = QString::fromUtf8(
    "You are a macOS system expert helping a Windows administrator triage Mac system logs. You will receive a batch of "
    "log entries. Identify the top 3 to 5 entries or patterns most worth a sysadmin's attention. For each, explain "
    "briefly why it's concerning or notable. Respond in this exact format \xe2\x80\x94 one item per block, separated "
    "by blank lines: ENTRY: [index number from the list] TITLE: [short title, 5-8 words] CONCERN: [one sentence "
    "explaining why this matters] Only flag genuinely notable items. If the logs look entirely normal, say so in one "
    "sentence instead of forcing findings. Be concise and direct.");

QString linuxPrompt(const QString& mac, const char* verb)
{
    QString text = mac;
    text.replace(QStringLiteral("You are a macOS system expert helping a Windows administrator %1 Mac system logs.")
                     .arg(QLatin1String(verb)),
                 QStringLiteral("You are a Linux system expert helping a Windows administrator %1 Linux system logs "
                                "(the systemd journal).")
                     .arg(QLatin1String(verb)));
    return text;
}

JournalAccess access(JournalAccess::Limit limit)
{
    return JournalAccess{limit, QStringLiteral("ops admin")};
}

FetchOutcome emptyLive(JournalAccess::Limit limit)
{
    FetchOutcome o;
    o.kind = FetchOutcome::Kind::emptyLive;
    o.liveAccess = access(limit);
    return o;
}

}  // namespace

class TestLinuxTexts : public QObject {
    Q_OBJECT

    QTemporaryDir namesDir;

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void textsBySource()
    {
        ProcessNameResolver names(namesDir.filePath("names"), ProcessNameResolver::shippedResourcePath());
        LogEntry mac = makeEntry(1767605400, 4, "kernel", "disk0: I/O error", {}, {}, {}, 0, 7);
        mac.host = QStringLiteral("web-01");
        LogEntry journal = mac;
        journal.origin = LogOrigin::linuxJournal;
        journal.threadKnown = false;
        using Place = std::function<QString(const LogEntry&)>;
        const auto pane = [&](const char* child) {
            return Place([&names, child](const LogEntry& e) {
                AISettings settings(AIProviders::all().front(), QString());
                DetailPane p(e, &names, &settings, std::nullopt, {});
                const auto* w = p.findChild<QWidget*>(QLatin1String(child));
                if (!w || !w->isVisibleTo(&p))
                    return QString();
                const auto* label = qobject_cast<const QLabel*>(w);
                return label ? label->text() : qobject_cast<const QPushButton*>(w)->text();
            });
        };
        const struct {
            const char* place;
            Place actual;
            QString mac, journal;
        } rows[]{
            {"web search", [](const LogEntry& e) { return EntryText::searchTerms(e).join(' '); }, "macos kernel",
             "linux kernel"},
            {"explain prompt", AIExplainer::explainPromptFor, macExplain, linuxPrompt(macExplain, "understand")},
            {"analysis prompt", [](const LogEntry& e) { return AIExplainer::analysisPromptFor({e}); }, macAnalysis,
             linuxPrompt(macAnalysis, "triage")},
            {"explained entry", AIExplainer::entryMessage, "Severity: Error\nProcess: kernel\nSender: \nMessage: disk0: I/O error",
             "Severity: Error\nHost: web-01\nProcess: kernel\nSender: \nMessage: disk0: I/O error"},
            {"process", pane("meta_Process"), "macOS Kernel (kernel)", "kernel"},
            {"support button", pane("macSupportButton"), "Mac Support", ""},
            {"thread row", pane("meta_Thread"), "7", ""},
            {"thread column", [](const LogEntry& e) { return Columns::text(ColumnId::thread, e); }, "7", ""},
        };
        for (const auto& r : rows) {
            QCOMPARE(r.actual(mac) + " @" + r.place, r.mac + " @" + r.place);
            QCOMPARE(r.actual(journal) + " @" + r.place, r.journal + " @" + r.place);
        }
        QCOMPARE(names.displayName("kernel", LogOrigin::linuxJournal), QStringLiteral("kernel"));
    }

    // The live log is this machine's journal: what an empty one says, by what keeps the user from it.
    void emptyLiveView()
    {
        using L = JournalAccess::Limit;
        const QString command = QStringLiteral("sudo usermod -aG systemd-journal 'ops admin'");
        const struct {
            L limit;
            QString text, button;
        } rows[]{
            {L::none, "No log entries found in the system journal for this time range.", ""},
            {L::noJournal,
             "No log entries found: this machine keeps no systemd journal. Open a folder of journal files or a log "
             "archive with File > Open Log Archive… instead.",
             ""},
            {L::notInGroup,
             "No log entries found. Your account is in neither the systemd-journal nor the adm group, so the system "
             "journal shows it only its own entries.\n\nTo read the whole journal, add yourself to the systemd-journal "
             "group, then log out and back in:\n" +
                 command,
             "Copy Command"},
        };
        FetchErrorPanel panel;
        auto* button = panel.findChild<QPushButton*>("journalGroupButton");
        for (const auto& r : rows) {
            const QString text = LogFetcher::emptyResultText(false, access(r.limit));
            QCOMPARE(text, r.text);
            panel.setError(text, emptyLive(r.limit));
            QCOMPARE(button->isVisibleTo(&panel) ? button->text() : QString(), r.button);
        }
        button->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), command);
        // A refused live-tail poll keeps its list and gets no advice.
        FetchOutcome tail = emptyLive(L::notInGroup);
        tail.liveTail = true;
        panel.setError("Live tail error", tail);
        QVERIFY(!button->isVisibleTo(&panel));
        // The same advice follows a journal that refuses to open.
        QueryResult denied;
        denied.error = StoreError{"Failed to open the system journal: Permission denied", StoreError::Cause::denied};
        QCOMPARE(*LogFetcher::resultText(denied, false, access(L::notInGroup)),
                 "Failed to read logs: Failed to open the system journal: Permission denied\n\n" + *LogFetcher::accessAdvice(access(L::notInGroup)));
        QCOMPARE(*LogFetcher::resultText(denied, true, access(L::notInGroup)),
                 "Failed to read logs: Failed to open the system journal: Permission denied");
    }

    // Texts about this machine, which runs Linux.
    void appTexts()
    {
        APIKeyHelpView key;
        const auto labels = [&](const char* name) {
            QStringList out;
            for (const QLabel* l : key.findChildren<QLabel*>(QLatin1String(name)))
                out << l->text();
            return out;
        };
        const QStringList keyTexts = labels("apiKeyIntro") + labels("apiKeyStep");
        const QString collect = CollectConfirmSheet::message();
        const struct {
            const char* place;
            QString actual, expected;
        } rows[]{
            {"about", AboutView::tagline(),
             "When something breaks on a Linux machine or a Mac, Vellacord gets you to the answer fast. A native viewer "
             "of the systemd journal and of Mac logs, and a crash analyzer, for system administrators."},
            {"collect", collect,
             "This will copy the system journal's entries from the past hour into a folder of journal files "
             "(.logarchive) on your Desktop and open it.\n\nNo password is asked: the copy holds what your account may "
             "read, which is the whole journal for members of the systemd-journal or adm group."},
            {"key storage", keyTexts.filter("stored locally").join('|'),
             "The AI Log Explainer and Proactive Analysis features require an API key from one of the supported "
             "providers. Your key is stored locally on this computer and is never shared with anyone except the "
             "provider you choose.|Your API key is stored locally, in Vellacord's settings file, which only your "
             "account can read."},
        };
        for (const auto& r : rows)
            QCOMPARE(r.actual + " @" + r.place, r.expected + " @" + r.place);
        QVERIFY(!keyTexts.join(' ').contains("Mac"));
    }
};

QTEST_MAIN(TestLinuxTexts)
#include "test_linux_texts.moc"
