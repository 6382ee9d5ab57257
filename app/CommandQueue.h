#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The window's commands, one at a time: none ever runs inside another. A
// command that comes while one runs waits its turn, run from the event loop
// once the running one has returned, unless the same command is running or
// waiting already, or it is one that catches up by itself (the tick): then
// it is dropped. After Close() nothing runs any more.
class CommandQueue : public QObject {
    Q_OBJECT

public:
    // `command` names the command; `catchesUp`: dropped rather than kept waiting.
    void Run(int command, bool catchesUp, const std::function<void()> &handler);
    void Close();
    bool Busy() const { return running_.has_value(); }

private:
    void RunWaiting();

    bool closed_ = false;
    std::optional<int> running_;
    std::vector<std::pair<int, std::function<void()>>> waiting_;
};
