// Writes the JPEGs named on the command line into one Motion-JPEG AVI, `runs` times, and
// prints the fastest run. Usage: timelapse_bench runs fps out.avi pictures...
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "timelapse.h"

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: timelapse_bench runs fps out.avi pictures...\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const int fps = std::atoi(argv[2]);
    const std::vector<std::string> pictures(argv + 4, argv + argc);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        DeleteFileA(argv[3]);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        size_t frames = 0;
        std::string why;
        if (!WriteMjpegAvi(argv[3], pictures, fps, &frames, &why)) {
            std::fprintf(stderr, "failed: %s\n", why.c_str());
            return 1;
        }
        QueryPerformanceCounter(&end);
        const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        if (seconds < best)
            best = seconds;
        std::printf("run %d: %zu frames in %.3f s\n", run + 1, frames, seconds);
    }
    std::printf("best %.3f\n", best);
    return 0;
}
