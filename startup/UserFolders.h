#pragma once

#include <QString>

// The user's own folders for settings and for kept replies, by the XDG base
// directory rule.

// The value of the environment variable `variable` (e.g. "XDG_CONFIG_HOME")
// when it is an absolute path, without a trailing "/"; otherwise the home
// folder followed by `homeDefault` (e.g. ".config"). The rule is to ignore an
// empty or relative value, so a stray "XDG_CACHE_HOME=cache" cannot scatter
// files into whatever folder the program was started from.
QString XdgBaseDirectory(const char *variable, const QString &homeDefault);

// $XDG_CONFIG_HOME/selvorra, by default ~/.config/selvorra.
QString UserConfigFolder();
// $XDG_CACHE_HOME/selvorra, by default ~/.cache/selvorra.
QString UserCacheFolder();
