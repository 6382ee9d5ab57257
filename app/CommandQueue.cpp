#include "CommandQueue.h"

#include <QTimer>

void CommandQueue::Run(int command, bool catchesUp, const std::function<void()> &handler)
{
    if (closed_)
        return;
    if (running_) {
        if (catchesUp || *running_ == command)
            return;
        for (const auto &waiting : waiting_)
            if (waiting.first == command)
                return;
        waiting_.emplace_back(command, handler);
        return;
    }
    running_ = command;
    try {
        handler();
    } catch (...) {
        running_.reset();
        throw;
    }
    running_.reset();
    if (!waiting_.empty() && !closed_)
        QTimer::singleShot(0, this, &CommandQueue::RunWaiting);
}

void CommandQueue::RunWaiting()
{
    if (running_ || waiting_.empty() || closed_)
        return;
    const auto next = waiting_.front();
    waiting_.erase(waiting_.begin());
    Run(next.first, false, next.second);
}

void CommandQueue::Close()
{
    closed_ = true;
    waiting_.clear();
}
