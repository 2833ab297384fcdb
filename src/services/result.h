#pragma once
// Errors as values. A failing platform call hands back the host's reason as text, and each
// caller decides which failures it absorbs, exactly where the program says it absorbs them.

#include <QString>

#include <optional>
#include <utility>

namespace stowix {

// The outcome of an operation that gives no value: success, or a failure with the host's reason.
class [[nodiscard]] Status {
public:
    static Status Ok() { return Status(); }
    static Status Fail(QString reason) { return Status(std::move(reason), false); }
    // A failure because the file or folder named does not exist, which a caller may take for an
    // answer (no boot script: nothing to do) rather than for trouble.
    static Status NotFound(QString reason) { return Status(std::move(reason), true); }

    bool ok() const { return !m_reason.has_value(); }
    explicit operator bool() const { return ok(); }
    bool notFound() const { return m_notFound; }
    // Empty for success; otherwise the host's reason, for instance "No space left on device".
    QString reason() const { return m_reason.value_or(QString()); }
    // A Status is its own outcome, so TRY treats it like a Result that carries no value.
    Status status() const { return *this; }
    void value() const {}

private:
    Status() = default;
    Status(QString reason, bool notFound) : m_reason(std::move(reason)), m_notFound(notFound) {}
    std::optional<QString> m_reason;
    bool m_notFound = false;
};

// The outcome of an operation that gives a value of type T, or a failure with the host's reason.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_failure(std::move(failure)) {}
    static Result Fail(QString reason) { return Result(Status::Fail(std::move(reason))); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    bool notFound() const { return m_failure.notFound(); }
    const T& value() const& { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    QString reason() const { return m_failure.reason(); }
    Status status() const { return ok() ? Status::Ok() : m_failure; }

private:
    std::optional<T> m_value;
    Status m_failure = Status::Ok();
};

}  // namespace stowix

// Hands a failure straight back to the caller, and otherwise gives the value:
//     const Cluster first = TRY(volume.FirstCluster(entry));
//     TRY(file.Flush());
// The caller's return type must be a Status or a Result. Written as a GNU statement expression,
// which GCC and Clang both take, so that it can stand inside an expression.
#define TRY(expression)                                                    \
    __extension__({                                                        \
        auto&& try_outcome_ = (expression);                                \
        if (!try_outcome_) return ::stowix::Status(try_outcome_.status()); \
        std::move(try_outcome_).value();                                   \
    })
