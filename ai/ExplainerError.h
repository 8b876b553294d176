#pragma once

// Errors of an AI request and the result type handed to completions.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// The failures the AI client raises itself, each with a fixed description.
struct ExplainerError {
    enum class Kind { networkError,
                      apiError,
                      noAPIKey,
                      parseError };

    Kind kind = Kind::parseError;
    int statusCode = 0;  // apiError only
    QString message;     // networkError and apiError

    static ExplainerError networkError(const QString& message) { return {Kind::networkError, 0, message}; }
    static ExplainerError apiError(int statusCode, const QString& message) { return {Kind::apiError, statusCode, message}; }
    static ExplainerError noAPIKey() { return {Kind::noAPIKey, 0, {}}; }
    static ExplainerError parseError() { return {Kind::parseError, 0, {}}; }

    QString description() const;
};

// What a failed request reports: an ExplainerError, or a failure of the HTTP
// client or of the JSON reader passed through with its own text.
class AIError {
public:
    enum class Origin { explainer,
                        transport,
                        jsonReader };

    AIError(const ExplainerError& e) : m_origin(Origin::explainer), m_explainer(e) {}  // NOLINT: implicit on purpose
    static AIError transport(const QString& text) { return AIError(Origin::transport, text); }
    static AIError jsonReader(const QString& text) { return AIError(Origin::jsonReader, text); }

    Origin origin() const { return m_origin; }
    // Set exactly when origin() is explainer.
    const std::optional<ExplainerError>& explainerError() const { return m_explainer; }
    // The text the user sees.
    QString description() const { return m_explainer ? m_explainer->description() : m_text; }

private:
    AIError(Origin origin, const QString& text) : m_origin(origin), m_text(text) {}
    Origin m_origin;
    std::optional<ExplainerError> m_explainer;
    QString m_text;
};

// Either the value of a successful request or its error.
template <class T>
class AIResult {
public:
    AIResult(T value) : m_v(std::in_place_index<0>, std::move(value)) {}                    // NOLINT
    AIResult(AIError error) : m_v(std::in_place_index<1>, std::move(error)) {}              // NOLINT
    AIResult(const ExplainerError& error) : m_v(std::in_place_index<1>, AIError(error)) {}  // NOLINT

    bool ok() const { return m_v.index() == 0; }
    const T& value() const { return std::get<0>(m_v); }
    const AIError& error() const { return std::get<1>(m_v); }

private:
    std::variant<T, AIError> m_v;
};
