#pragma once

#include <QString>
#include <utility>

namespace vemba {

// Outcome of one operation that may fail: success, or a failure with its
// reason in the user's language, ready to be shown. Shared by the audio layer
// and the settings file, which know nothing of each other.
class Result {
public:
    static Result success() { return Result(); }
    static Result failure(QString reason) { return Result(std::move(reason)); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& reason() const { return m_reason; }

private:
    Result() = default;
    explicit Result(QString reason) : m_failed(true), m_reason(std::move(reason)) {}

    bool m_failed = false;
    QString m_reason;
};

} // namespace vemba
