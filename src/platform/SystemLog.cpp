#include "SystemLog.h"

#include <cstdio>
#include <utility>

namespace {

struct LogState {
    LogSink sink;
    bool echo = true;
};

LogState &logState()
{
    static LogState state;
    return state;
}

} // namespace

void systemLog(const QString &line)
{
    LogState &state = logState();
    if (state.echo) {
        // Written as data, never as a format string: a "%" in the line stays.
        const QByteArray bytes = line.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    if (state.sink)
        state.sink(line);
}

void setLogSink(LogSink sink, bool echoToStandardError)
{
    LogState &state = logState();
    state.echo = sink ? echoToStandardError : true;
    state.sink = std::move(sink);
}
