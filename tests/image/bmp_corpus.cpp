// Writes the BMP fuzz seed corpus: bmp_corpus <folder> (tests/image/corpus in the repository).
#include <cstdio>
#include <string>

#include "corpus_cases.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: bmp_corpus <folder>\n");
        return 2;
    }
    for (const CorpusCase& c : CorpusCases()) {
        std::string path = std::string(argv[1]) + "/" + c.file;
        if (!c.bmp.Write(path)) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
