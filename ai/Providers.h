#pragma once

// The one table of the AI providers the client can ask. Each row holds all
// that differs between them: the name users pick, where requests go, how a
// request is written and how an answer is read, and the key's help. The
// client, the stored choice, the settings' segments, the command line and
// the help texts all follow this table; a new provider is one more row.

#include "ai/ExplainerError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

// What a request asks.
struct AIPrompt {
    QString system;
    QString user;
    int maxTokens = 0;
};

// One request as its provider wants it: headers in the order sent, and the JSON body.
struct AIRequest {
    QList<QPair<QByteArray, QByteArray>> headers;
    QJsonObject body;
};

struct AIProvider {
    QString name;             // the stored choice, the segment's label, the --provider value
    QString defaultEndpoint;  // the provider's own address
    const char* urlVariable;  // replaces scheme, host and port of the endpoint when set
    QString model;
    // The request for a prompt; the key is already fit for a header.
    std::function<AIRequest(const AIProvider& self, const QByteArray& key, const AIPrompt& prompt)> request;
    // The answer's text in a 200 body read as JSON (any value, not only an
    // object); runs on a worker thread.
    std::function<AIResult<QString>(const QJsonValue& top)> answer;
    QString keyHelpTitle;   // the key help's block: "Anthropic (Claude)"
    QString keyConsoleURL;  // where keys are made; its host is the link's text

    // The default, or its scheme, host and port taken from urlVariable; the path is fixed.
    QUrl endpoint() const;
};

namespace AIProviders {

// The rows, in the order the settings show them; the first is the default.
const std::vector<AIProvider>& all();
// The row of that exact name (letter case counts), if any.
const AIProvider* named(const QString& name);
// The row a --provider value names: its name, or its name in lower case.
const AIProvider* forCommandLine(const QString& value);
// The names for a sentence: "A or B", "A, B or C".
QString nameList();

}  // namespace AIProviders
