#include "ai/AIExplainer.h"

#include "ai/SharedNetwork.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace AIExplainer {

namespace {

int g_timeoutMs = defaultRequestTimeoutMs;

QUrl endpoint(const char* overrideVariable, const QString& defaultBase, const QString& path)
{
    QUrl url(defaultBase);
    const QString override = qEnvironmentVariable(overrideVariable);
    if (!override.isEmpty()) {
        const QUrl o(override);
        url.setScheme(o.scheme());
        url.setHost(o.host());
        url.setPort(o.port());
    }
    url.setPath(path);
    return url;
}

QObject* completionContext(QObject* context) { return context ? context : QCoreApplication::instance(); }

template <class T>
void completeLater(QObject* context, std::function<void(const AIResult<T>&)> done, AIResult<T> result)
{
    QMetaObject::invokeMethod(
        completionContext(context), [done = std::move(done), result = std::move(result)] { done(result); },
        Qt::QueuedConnection);
}

// The body decoded as UTF-8, or nothing when it is not valid UTF-8.
std::optional<QString> strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// JSON reading that, like a full JSON reader, accepts a lone scalar at the
// top level (it then simply is not the object the walk expects).
std::variant<QJsonValue, AIError> readJson(const QByteArray& body)
{
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error == QJsonParseError::NoError)
        return doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    QJsonParseError wrappedError{};
    const QJsonDocument wrapped = QJsonDocument::fromJson('[' + body + ']', &wrappedError);
    if (wrappedError.error == QJsonParseError::NoError && wrapped.array().size() == 1)
        return wrapped.array().first();
    return AIError::jsonReader(QStringLiteral("The response is not valid JSON (%1 at offset %2).")
                                   .arg(pe.errorString())
                                   .arg(pe.offset));
}

enum class Dialect { anthropic, openai };

std::optional<QString> answerText(Dialect dialect, const QJsonValue& top)
{
    if (!top.isObject())
        return std::nullopt;
    const QJsonValue list = top.toObject().value(dialect == Dialect::anthropic ? QLatin1String("content")
                                                                                : QLatin1String("choices"));
    if (!list.isArray() || list.toArray().isEmpty() || !list.toArray().first().isObject())
        return std::nullopt;
    const QJsonObject first = list.toArray().first().toObject();
    QJsonValue text;
    if (dialect == Dialect::anthropic) {
        text = first.value(QLatin1String("text"));
    } else {
        const QJsonValue message = first.value(QLatin1String("message"));
        if (!message.isObject())
            return std::nullopt;
        text = message.toObject().value(QLatin1String("content"));
    }
    if (!text.isString())
        return std::nullopt;
    return text.toString();
}

// What one exchange has taken in so far; the reply's own buffer is drained as
// data arrives so that the cap bounds memory, not just the final answer.
struct Exchange {
    QByteArray body;
    bool tooLarge = false;
    bool timedOut = false;

    // False once the body would pass the cap.
    bool take(QNetworkReply* reply)
    {
        if (body.size() + reply->bytesAvailable() > maxResponseBytes) {
            tooLarge = true;
            return false;
        }
        body += reply->readAll();
        return true;
    }
};

// The failure of an exchange that brought no answer body to read, if any.
std::optional<AIResult<QString>> replyFailure(QNetworkReply* reply, Exchange& exchange)
{
    if (exchange.tooLarge || (!exchange.timedOut && !exchange.take(reply)))
        return AIError::transport(QStringLiteral("Response too large"));
    if (exchange.timedOut)
        return AIError::transport(QStringLiteral("The request timed out."));
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Connection-level failures win even after a status line arrived: the body
    // of a reply cut short is not an answer.
    const bool connectionLevel = error > QNetworkReply::NoError && error <= QNetworkReply::UnknownNetworkError;
    if (connectionLevel || (error != QNetworkReply::NoError && !status.isValid())) {
        if (error == QNetworkReply::TimeoutError)
            return AIError::transport(QStringLiteral("The request timed out."));
        return AIError::transport(reply->errorString());
    }
    if (!status.isValid())
        return ExplainerError::networkError(QStringLiteral("Invalid response"));
    const int code = status.toInt();
    if (code != 200)
        return ExplainerError::apiError(code, strictUtf8(exchange.body).value_or(QStringLiteral("Unknown error")));
    return std::nullopt;
}

// The answer of a 200 body; safe on any thread.
AIResult<QString> answerOfBody(Dialect dialect, const QByteArray& body)
{
    const auto json = readJson(body);
    if (const AIError* e = std::get_if<AIError>(&json))
        return *e;
    const auto text = answerText(dialect, std::get<QJsonValue>(json));
    if (!text)
        return ExplainerError::parseError();
    return *text;
}

void post(Dialect dialect, const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers,
          const QJsonObject& body, QObject* context, TextCompletion done)
{
    QNetworkRequest request(url);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    // A redirect would carry the API key to a host the user never chose.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    QNetworkReply* reply = SharedNetwork::manager().post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    // Keeps Qt's own buffer small between two reads of ours. Qt passes the
    // size on to its network thread only once the request has started, which
    // it does on the next turn of the event loop, before any answer can arrive.
    QMetaObject::invokeMethod(reply, [reply] { reply->setReadBufferSize(1 << 20); }, Qt::QueuedConnection);
    auto exchange = std::make_shared<Exchange>();
    const auto abortWhenTooLarge = [reply, exchange] {
        if (!exchange->tooLarge && !exchange->take(reply))
            reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, abortWhenTooLarge);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, exchange](qint64, qint64 total) {
        if (total > maxResponseBytes && !exchange->tooLarge) {  // a declared length is enough to know
            exchange->tooLarge = true;
            reply->abort();
        }
    });
    // One deadline from the start: a trickle of bytes does not keep a request alive.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply, exchange] {
        exchange->timedOut = true;
        reply->abort();
    });
    deadline->start(g_timeoutMs);
    QObject* owner = completionContext(context);
    QObject::connect(reply, &QNetworkReply::finished, owner, [owner, dialect, reply, exchange, done = std::move(done)] {
        if (const auto failure = replyFailure(reply, *exchange)) {
            done(*failure);
            return;
        }
        // Reading megabytes of JSON takes longer than a UI thread may stall.
        auto* watcher = new QFutureWatcher<AIResult<QString>>(owner);
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, done] {
            watcher->deleteLater();
            done(watcher->result());
        });
        watcher->setFuture(QtConcurrent::run(answerOfBody, dialect, std::move(exchange->body)));
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

}  // namespace

void setRequestTimeoutMs(int ms) { g_timeoutMs = ms; }
int requestTimeoutMs() { return g_timeoutMs; }

QUrl anthropicEndpoint()
{
    return endpoint("VELLACORD_ANTHROPIC_URL", QStringLiteral("https://api.anthropic.com"), QStringLiteral("/v1/messages"));
}

QUrl openAIEndpoint()
{
    return endpoint("VELLACORD_OPENAI_URL", QStringLiteral("https://api.openai.com"),
                    QStringLiteral("/v1/chat/completions"));
}

void send(const AISettings& settings, const QString& systemPrompt, const QString& userMessage, int maxTokens,
          QObject* context, TextCompletion done)
{
    if (!settings.hasAPIKey()) {
        completeLater<QString>(context, std::move(done), ExplainerError::noAPIKey());
        return;
    }
    const QString apiKey = settings.apiKey();
    if (settings.provider() == AIProvider::openai)
        callOpenAI(apiKey, userMessage, systemPrompt, maxTokens, context, std::move(done));
    else
        callAnthropic(apiKey, userMessage, systemPrompt, maxTokens, context, std::move(done));
}

void callAnthropic(const QString& apiKey, const QString& userMessage, const QString& systemPrompt, int maxTokens,
                   QObject* context, TextCompletion done)
{
    QJsonObject message{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), userMessage}};
    const QJsonObject body{
        {QStringLiteral("model"), QStringLiteral("claude-sonnet-4-20250514")},
        {QStringLiteral("max_tokens"), maxTokens},
        {QStringLiteral("system"), systemPrompt},
        {QStringLiteral("messages"), QJsonArray{message}},
    };
    post(Dialect::anthropic, anthropicEndpoint(),
         {{"content-type", "application/json"},
          {"x-api-key", AISettings::keyForUse(apiKey).toUtf8()},
          {"anthropic-version", "2023-06-01"}},
         body, context, std::move(done));
}

void callOpenAI(const QString& apiKey, const QString& userMessage, const QString& systemPrompt, int maxTokens,
                QObject* context, TextCompletion done)
{
    const QJsonArray messages{
        QJsonObject{{QStringLiteral("role"), QStringLiteral("system")}, {QStringLiteral("content"), systemPrompt}},
        QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), userMessage}},
    };
    const QJsonObject body{
        {QStringLiteral("model"), QStringLiteral("gpt-4o")},
        {QStringLiteral("max_tokens"), maxTokens},
        {QStringLiteral("messages"), messages},
    };
    post(Dialect::openai, openAIEndpoint(),
         {{"Content-Type", "application/json"}, {"Authorization", "Bearer " + AISettings::keyForUse(apiKey).toUtf8()}},
         body, context, std::move(done));
}

void explain(const LogEntry& entry, const AISettings& settings, QObject* context, TextCompletion done)
{
    send(settings, explainPromptFor(entry), entryMessage(entry), explanationMaxTokens, context, std::move(done));
}

void explainCrash(const QString& crashText, const AISettings& settings, QObject* context, TextCompletion done)
{
    send(settings, crashPrompt, crashText, explanationMaxTokens, context, std::move(done));
}

void analyze(const LogEntryList& entries, const AISettings& settings, QObject* context, AnalysisCompletion done)
{
    if (!settings.hasAPIKey()) {
        completeLater<AnalysisItemList>(context, std::move(done), ExplainerError::noAPIKey());
        return;
    }
    // A copy taken now: later changes of the caller's list do not move the numbering.
    LogEntryList batch = analysisBatch(entries);
    const QString message = batchMessage(batch);
    const QString& prompt = analysisPromptFor(batch);  // before the batch moves into the completion
    QObject* owner = completionContext(context);
    send(settings, prompt, message, analysisMaxTokens, context,
         [owner, batch = std::move(batch), done = std::move(done)](const AIResult<QString>& r) {
             if (!r.ok()) {
                 done(r.error());
                 return;
             }
             // An answer of megabytes takes a while to read: not on the UI
             // thread. The watcher goes with the context, and the completion with it.
             auto* watcher = new QFutureWatcher<AnalysisItemList>(owner);
             QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, done] {
                 watcher->deleteLater();
                 done(watcher->result());
             });
             watcher->setFuture(QtConcurrent::run([answer = r.value(), batch] { return parseAnalysis(answer, batch); }));
         });
}

}  // namespace AIExplainer
