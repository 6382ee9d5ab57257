#pragma once

#include "RuntimeError.h"

#include <QString>

#include <utility>

// What a stage gives back.
enum class Outcome {
    Done,       // the stage went through; `value` is the one to use
    Absent,     // the reply is not of the kind asked for: a forecast reply without "Daily Minimum", a sun/moon reply in which none of the scan's markers occurs (an HTML error page, the service's JSON error)
    NotLoaded,  // a rule refused the reply before it was read (well-formedness, the bounds on nesting and nodes, the parser)
    Failed,     // a scan or composition stopped on a run-time error (16-bit overflow, an eleventh row, a field past the end, ...); also a result nothing has made yet
};

// A stage's value with its outcome. Only Of() makes a Done result; every
// failure is made by Failure(), with the rule and the reason. A result that
// nothing has made is Failed ("not-run"), so a forgotten step can never pass
// for a success.
template <typename T>
struct Result {
    T value{};               // for Failed, whatever was composed before the failure (the forecast view keeps its label and text box)
    Outcome outcome = Outcome::Failed;
    QString rule = QStringLiteral("not-run");   // which rule refused or stopped it: a short fixed lower-case name, e.g. "declaration-place", "character", "nesting", "node-count", "parse", "tree", "no-forecast", "no-markers", "overflow", "subscript"... (empty when Done). Tests assert this.
    QString reason = QStringLiteral("nothing was done");   // the same in words, lower-case start, no final full stop, with where it happened when known, e.g. "the reply is not well-formed XML (line 1, column 1)" (empty when Done)
    explicit operator bool() const { return outcome == Outcome::Done; }

    static Result Of(T made)
    {
        Result result;
        result.value = std::move(made);
        result.outcome = Outcome::Done;
        result.rule.clear();
        result.reason.clear();
        return result;
    }

    // `outcome` is never Done here; `partial` is what was made before it.
    static Result Failure(Outcome outcome, QString rule, QString reason, T partial = T{})
    {
        Result result;
        result.value = std::move(partial);
        result.outcome = outcome == Outcome::Done ? Outcome::Failed : outcome;
        result.rule = std::move(rule);
        result.reason = std::move(reason);
        return result;
    }

    // The failure of another stage, carried over as this one's.
    template <typename U>
    static Result FailureOf(const Result<U> &other, T partial = T{})
    {
        return Failure(other.outcome, other.rule, other.reason, std::move(partial));
    }
};

// A run-time error that names the rule it broke, so that the failed result
// it becomes can say which one stopped the stage.
class RuleError : public RuntimeError {
public:
    RuleError(QString rule, QString description) : RuntimeError(std::move(description)), rule_(std::move(rule)) {}

    const QString &rule() const noexcept { return rule_; }

private:
    QString rule_;
};

// The failed result that `error` makes, keeping `partial`, the value composed
// before it. The failure's rule is the one the error names, else `rule`.
template <typename T>
Result<T> FailedBy(const RuntimeError &error, T partial = T{}, const QString &rule = QStringLiteral("run-time"))
{
    const auto *named = dynamic_cast<const RuleError *>(&error);
    return Result<T>::Failure(Outcome::Failed, named != nullptr ? named->rule() : rule, error.description(),
                              std::move(partial));
}

// Runs `stage`, turning the run-time error that cuts it short into a failed
// result (see FailedBy), so that no error crosses the stage's boundary.
template <typename Stage>
auto RunStage(Stage &&stage, const QString &rule = QStringLiteral("run-time")) -> Result<decltype(stage())>
{
    using T = decltype(stage());
    try {
        return Result<T>::Of(std::forward<Stage>(stage)());
    } catch (const RuntimeError &error) {
        return FailedBy<T>(error, T{}, rule);
    }
}
