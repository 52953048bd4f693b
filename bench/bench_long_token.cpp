// Reads a property-list file the way the window's load does (a slice at a
// time, the default slice size) and prints the wall time in milliseconds, or
// the one-line failure. The token limit can be raised, so that a file of one
// very long token is parsed to its end rather than refused at the default
// limit.
//
//   bench_long_token PATH [MAX_TOKEN_MB]
//
// Exit status 0 when the file parses, 2 when it is refused, 1 on bad usage.
#include "PropertyList.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_long_token PATH [MAX_TOKEN_MB]\n");
        return 1;
    }
    PropertyListReadOptions options;
    if (argc == 3)
        options.maxTokenBytes = qsizetype(std::atoll(argv[2])) << 20;
    QElapsedTimer timer;
    timer.start();
    QString error;
    const Value tree = propertyListFromFile(QFile::decodeName(argv[1]), &error, QStringLiteral("AlbumData.xml"), options);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (tree.isNone()) {
        std::printf("%.1f refused: %s\n", ms, qPrintable(error));
        return 2;
    }
    std::printf("%.1f\n", ms);
    return 0;
}
