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

using AnswerReader = std::function<AIResult<QString>(const QJsonValue&)>;

// The answer of a 200 body; safe on any thread.
AIResult<QString> answerOfBody(const AnswerReader& read, const QByteArray& body)
{
    const auto json = readJson(body);
    if (const AIError* e = std::get_if<AIError>(&json))
        return *e;
    return read(std::get<QJsonValue>(json));
}

void post(AnswerReader read, const QUrl& url, const AIRequest& ask, QObject* context, TextCompletion done)
{
    QNetworkRequest request(url);
    for (const auto& [name, value] : ask.headers)
        request.setRawHeader(name, value);
    // A redirect would carry the API key to a host the user never chose.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    QNetworkReply* reply = SharedNetwork::manager().post(request, QJsonDocument(ask.body).toJson(QJsonDocument::Compact));
    // Keeps Qt's own buffer small between two reads of ours. Qt passes the
    // size on to its network thread only once the request has started, which
    // it does on the next turn of the event loop, before any answer can arrive.
    QMetaObject::invokeMethod(
        reply, [reply] { reply->setReadBufferSize(1 << 20); }, Qt::QueuedConnection);
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
    auto finish = [owner, read = std::move(read), reply, exchange, done = std::move(done)] {
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
        watcher->setFuture(QtConcurrent::run(answerOfBody, read, std::move(exchange->body)));
    };
    QObject::connect(reply, &QNetworkReply::finished, owner, std::move(finish));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

}  // namespace

void setRequestTimeoutMs(int ms) { g_timeoutMs = ms; }
int requestTimeoutMs() { return g_timeoutMs; }

void send(const AISettings& settings, const QString& systemPrompt, const QString& userMessage, int maxTokens,
          QObject* context, TextCompletion done)
{
    if (!settings.hasAPIKey()) {
        completeLater<QString>(context, std::move(done), ExplainerError::noAPIKey());
        return;
    }
    call(settings.provider(), settings.apiKey(), {systemPrompt, userMessage, maxTokens}, context, std::move(done));
}

void call(const AIProvider& provider, const QString& apiKey, const AIPrompt& prompt, QObject* context,
          TextCompletion done)
{
    const AIRequest request = provider.request(provider, AISettings::keyForUse(apiKey).toUtf8(), prompt);
    post(provider.answer, provider.endpoint(), request, context, std::move(done));
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
