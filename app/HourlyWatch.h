#pragma once

#include "Platform.h"
#include "HourlyWindow.h"

#include "cache/KeptReplies.h"
#include "common/Place.h"
#include "common/SourceChain.h"

#include <QDateTime>

#include <functional>
#include <optional>

// The hours of the hourly window: fetched only while the window is open
// (when it opens, then with every forecast refresh), kept for the next
// start, and shown from the kept reply at once when the window opens.
class HourlyWatch {
public:
    // `show`: puts the hours in the window (opening it), scrolled to a time
    // when one is given.
    using Shower = std::function<void(const HourlyContent &content, const std::optional<QDateTime> &scrollTo)>;

    HourlyWatch(Platform &platform, QString pageOrigin, QString apiOrigin)
        : platform_(platform), pageOrigin_(std::move(pageOrigin)), apiOrigin_(std::move(apiOrigin))
    {
    }

    void SetShower(Shower show) { show_ = std::move(show); }
    bool IsOpen() const { return open_; }
    // The window opens (at `scrollTo`, when given) for `place`: the kept
    // hours at once, then the fetched ones.
    void Open(const Place &place, const std::optional<QDateTime> &scrollTo, const net::Download &download);
    // A forecast refresh: the hours too, when the window is open.
    void Refresh(const Place &place, const net::Download &download,
                 const std::optional<QDateTime> &scrollTo = std::nullopt);
    void Closed() { open_ = false; }

private:
    void Show(const Place &place, const HourlyForecast &hours, DateValue fetched, bool kept,
              const std::optional<QDateTime> &scrollTo, bool opening = false);

    Platform &platform_;
    QString pageOrigin_;
    QString apiOrigin_;
    Shower show_;
    bool open_ = false;
    bool hasHours_ = false;   // the window shows hours, kept or fetched
};
