// The child of the atomic write's kill test: saves to the path it is given
// over and over, the two contents in turn, until it is killed. It prints a
// line just before its first save.

#include "Files.h"
#include "SaveLoop.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const QString path = QFile::decodeName(argv[1]);
    const QByteArray contents[] = {saveLoopContent(0), saveLoopContent(1)};
    std::puts("saving");
    std::fflush(stdout);
    for (int turn = 0;; turn ^= 1) {
        QString error;
        if (!writeFileAtomically(path, contents[turn], &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
}
