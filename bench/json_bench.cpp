// JSON benchmark: renders a slideshow-shaped document of many slides with
// jsonStringValue and reads the text back with dictionaryWithJSONString.
//
//   json_bench [--slides N] [--rounds R] [--write FILE]
//
// Prints each operation's median over R rounds (default 15): wall-clock
// milliseconds, MB/s of text (the text is ASCII, so characters and bytes
// agree), and the process's CPU milliseconds, which other work on a busy
// machine disturbs less than the wall clock.
// --write saves the rendered text as UTF-8, for comparing other readers on
// the very same text (see json_bench.sh).

#include "KyJSONAdditions.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

struct Options {
    int slides = 50000;
    int rounds = 15;
    QString writePath;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: json_bench [--slides N] [--rounds R] [--write FILE]\n");
    std::exit(2);
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--slides") && hasValue)
            options.slides = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--rounds") && hasValue)
            options.rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--write") && hasValue)
            options.writePath = QString::fromLocal8Bit(argv[++i]);
        else
            usage();
    }
    return options;
}

// A document like the exporter's: the sequence settings and one entry per
// photo, with names and paths as an iPhoto library has them. Every 97th
// photo has a caption with quotes, a backslash or a tab to exercise escapes.
Value makeDocument(int slides)
{
    static const char *const kEvents[] = {"Summer Trip", "Christmas 2008", "Mom's Birthday",
        "Beach Day", "Roll 42", "Yosemite", "Soccer Finals"};
    Value sequence = Value::dictionary();
    sequence.insert(QStringLiteral("projectName"), Value::string(QStringLiteral("Summer 2009")));
    sequence.insert(QStringLiteral("slideCount"), Value::integer(slides));
    sequence.insert(QStringLiteral("ntsc"), Value::string(QStringLiteral("TRUE")));
    sequence.insert(QStringLiteral("timebase"), Value::integer(30));
    sequence.insert(QStringLiteral("compHeight"), Value::integer(480));
    sequence.insert(QStringLiteral("compWidth"), Value::integer(720));
    sequence.insert(QStringLiteral("transDuration"), Value::integer(30));
    sequence.insert(QStringLiteral("photoDuration"), Value::integer(270));
    sequence.insert(QStringLiteral("showStyle"), Value::string(QStringLiteral("Cross Dissolve")));

    Value list = Value::array(slides);
    const QString nameKey = QStringLiteral("name");
    const QString pathKey = QStringLiteral("path");
    for (int i = 0; i < slides; ++i) {
        const QString file = QStringLiteral("IMG_%1.JPG").arg(1000 + i % 9000, 4, 10, QChar(u'0'));
        const QString event = QString::fromLatin1(kEvents[i % 7]);
        QString name = file;
        if (i % 97 == 0)
            name = QStringLiteral("\"%1\" at the lake\\pier\t#%2").arg(event).arg(i);
        Value slide = Value::dictionary();
        slide.insert(nameKey, Value::string(name));
        slide.insert(pathKey,
            Value::string(QStringLiteral("~/Pictures/iPhoto Library/Originals/%1/%2/%3")
                              .arg(2005 + i % 5)
                              .arg(event, file)));
        list.append(slide);
    }
    Value document = Value::dictionary();
    document.insert(QStringLiteral("sequence"), sequence);
    document.insert(QStringLiteral("slides"), list);
    return document;
}

struct Sample {
    double wallMs;
    double cpuMs;
};

double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

template <typename F> Sample timed(const F &work)
{
    const double cpu = cpuNow();
    const auto wall = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> elapsed
        = std::chrono::steady_clock::now() - wall;
    return Sample{elapsed.count(), cpuNow() - cpu};
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    const Value document = makeDocument(options.slides);

    std::vector<Sample> renders, reads;
    QString text;
    for (int round = 0; round < options.rounds; ++round)
        renders.push_back(timed([&] { text = KyJSONAdditions::jsonStringValue(document); }));
    for (int round = 0; round < options.rounds; ++round) {
        Value back;
        // Freeing the tree is part of a read's cost, so it happens inside.
        reads.push_back(timed([&] {
            back = KyJSONAdditions::dictionaryWithJSONString(text);
            if (!back.isDictionary()
                || back.value(QStringLiteral("slides")).count() != options.slides) {
                std::fprintf(stderr, "json_bench: the text did not read back\n");
                std::exit(1);
            }
            back = Value();
        }));
    }
    // Checked once, outside the timed rounds.
    if (!(KyJSONAdditions::dictionaryWithJSONString(text) == document)) {
        std::fprintf(stderr, "json_bench: the text read back to a different document\n");
        return 1;
    }

    const double megabytes = double(text.size()) / 1e6;
    std::printf("slides %d, text %.2f MB, rounds %d\n", options.slides, megabytes, options.rounds);
    for (const auto &[name, samples] : {std::pair{"render", &renders}, std::pair{"read", &reads}}) {
        std::vector<double> wall, cpu;
        for (const Sample &sample : *samples) {
            wall.push_back(sample.wallMs);
            cpu.push_back(sample.cpuMs);
        }
        const double ms = median(wall);
        std::printf(
            "%s %.2f ms %.0f MB/s cpu %.2f ms\n", name, ms, megabytes / (ms / 1e3), median(cpu));
    }

    if (!options.writePath.isEmpty()) {
        QFile file(options.writePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(text.toUtf8()) < 0) {
            std::fprintf(stderr, "json_bench: cannot write %s\n", qPrintable(options.writePath));
            return 1;
        }
    }
    return 0;
}
