#pragma once

#include "RuntimeError.h"

#include <QString>

#include <utility>

// What a stage gives back.
enum class Outcome {
    Done,       // the stage went through; `value` is the one to use
    Absent,     // the reply is not of the kind asked for: a forecast reply without "Daily Minimum", a sun/moon reply in which none of the scan's markers occurs (an HTML error page, the service's JSON error)
    NotLoaded,  // a rule refused the reply before it was read (well-formedness, the bounds on nesting and nodes, the parser)
    Failed,     // a scan or composition stopped on a run-time error (16-bit overflow, an eleventh row, a field past the end, ...)
};

template <typename T>
struct Result {
    T value{};               // for Failed, whatever was composed before the failure (the forecast view keeps its label and text box)
    Outcome outcome = Outcome::Done;
    QString rule;            // which rule refused or stopped it: a short fixed lower-case name, e.g. "declaration-place", "character", "nesting", "node-count", "parse", "tree", "no-forecast", "no-markers", "overflow", "subscript"... (empty when Done). Tests assert this.
    QString reason;          // the same in words, lower-case start, no final full stop, with where it happened when known, e.g. "the reply is not well-formed XML (line 1, column 1)" (empty when Done)
    explicit operator bool() const { return outcome == Outcome::Done; }
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

// Marks `result` failed by `error`, keeping the value composed before it.
// The failure's rule is the one the error names, else `rule`.
template <typename T>
void FailWith(Result<T> &result, const RuntimeError &error, const QString &rule = QStringLiteral("run-time"))
{
    const auto *named = dynamic_cast<const RuleError *>(&error);
    result.outcome = Outcome::Failed;
    result.rule = named != nullptr ? named->rule() : rule;
    result.reason = error.description();
}

// Runs `stage`, turning the run-time error that cuts it short into a failed
// result (see FailWith), so that no error crosses the stage's boundary.
template <typename Stage>
auto RunStage(Stage &&stage, const QString &rule = QStringLiteral("run-time")) -> Result<decltype(stage())>
{
    Result<decltype(stage())> result;
    try {
        result.value = std::forward<Stage>(stage)();
    } catch (const RuntimeError &error) {
        FailWith(result, error, rule);
    }
    return result;
}
