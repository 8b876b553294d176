#pragma once

// What the AI commands (explain, analyze) share: the provider option, the
// settings they run with, and a wait for an asynchronous AI result.

#include "ai/AISettings.h"
#include "ai/ExplainerError.h"

#include <QCommandLineParser>
#include <QEventLoop>

#include <memory>
#include <optional>

void addAIOptions(QCommandLineParser& parser);

// The stored settings, with --provider and the VELLACORD_API_KEY environment
// variable taking precedence for this run only (nothing is written). On a bad
// --provider value returns nothing and sets `usageError`.
std::unique_ptr<AISettings> aiSettingsFor(const QCommandLineParser& parser, QString* usageError);

// Runs `start(context, completion)` and spins an event loop until the completion ran.
template <class T, class Start>
AIResult<T> awaitAI(Start start)
{
    std::optional<AIResult<T>> result;
    QEventLoop loop;
    start(&loop, [&](const AIResult<T>& r) {
        result = r;
        loop.quit();
    });
    if (!result)
        loop.exec();
    return *result;
}
