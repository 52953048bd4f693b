#pragma once

#include <QString>

#include <functional>

// The system log: one line per call. Each line goes to standard error as it is
// (never taken as a format string) and to the installed sink, if any.
void systemLog(const QString &line);

using LogSink = std::function<void(const QString &line)>;

// Installs a sink that receives every line (tests capture the log with it).
// With echoToStandardError false the lines no longer reach standard error.
// An empty sink removes it and restores the echo.
void setLogSink(LogSink sink, bool echoToStandardError = true);
