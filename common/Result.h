#pragma once

#include "RuntimeError.h"

#include <QString>

#include <utility>

// What a stage that can fail gives back: its value, or a description of what
// failed (the run-time error that cut the stage short). True when the stage
// went through; its value is then the one to use.
template <typename T>
struct Result {
    T value{};
    QString failure;
    explicit operator bool() const { return failure.isEmpty(); }
};

// Runs `stage`, turning the run-time error that cuts it short into a failed
// result, so that no error crosses the stage's boundary.
template <typename Stage>
auto RunStage(Stage &&stage) -> Result<decltype(stage())>
{
    try {
        return {std::forward<Stage>(stage)(), QString()};
    } catch (const RuntimeError &error) {
        return {{}, error.description()};
    }
}
