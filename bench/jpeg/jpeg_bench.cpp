// Benchmark: SaveJpeg megapixels per second at 8, 16 and 24 bits, quality 75,
// beside libjpeg-turbo's cjpeg on the same BMP in the same run.
//   jpeg_bench [cjpeg path] [runs]     (writes its pictures in the current folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include "dib_image.h"
#include "dib_rows.h"
#include "test_bmp.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Runs cjpeg once on a BMP file; false when it could not run or failed.
bool RunCjpeg(const std::string& cjpeg, const std::string& bmp, const std::string& jpeg)
{
#ifdef _WIN32
    std::string command = "\"" + cjpeg + "\" -quality 75 -outfile \"" + jpeg + "\" \"" + bmp + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
#else
    const char* argv[] = {cjpeg.c_str(), "-quality", "75", "-outfile", jpeg.c_str(), bmp.c_str(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, cjpeg.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

// cjpeg's own work on a picture: its process time less that of a start-up on
// a tiny picture, run in turns so that both see the same load, as the median
// of the differences (process start-up under Wine varies by tens of ms).
double CjpegWorkSeconds(const std::string& cjpeg, const std::string& bmp, const std::string& tiny, int runs,
                        double* startup)
{
    std::vector<double> work, starts;
    for (int i = 0; i < runs; ++i) {
        Clock::time_point start = Clock::now();
        if (!RunCjpeg(cjpeg, tiny, "cjpeg_out.jpg")) return -1;
        double idle = Seconds(start);
        start = Clock::now();
        if (!RunCjpeg(cjpeg, bmp, "cjpeg_out.jpg")) return -1;
        work.push_back(Seconds(start) - idle);
        starts.push_back(idle);
    }
    std::sort(work.begin(), work.end());
    std::sort(starts.begin(), starts.end());
    *startup = starts[starts.size() / 2];
    return work[work.size() / 2];
}

// A picture with smooth areas, edges and some noise, roughly like a camera frame.
uint32_t PhotoPixel(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t& seed)
{
    seed = seed * 1103515245 + 12345;
    int noise = int(seed >> 16 & 15) - 8;
    int r = x * 255 / w + noise;
    int g = y * 255 / h + noise;
    int b = ((x / 40 + y / 40) % 2 ? 200 : 60) + noise;
    auto clamp = [](int v) { return uint32_t(std::min(255, std::max(0, v))); };
    return clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

// The 24-bit form of the picture at every depth (what cjpeg reads for 16 bits,
// which it does not support), and the picture at the wanted depth.
void MakePictures(int32_t w, int32_t h, uint16_t bits, TestBmp& picture, TestBmp& as24)
{
    picture = TestBmp(w, h, bits);
    as24 = TestBmp(w, h, 24);
    if (bits == 8) {
        for (int i = 0; i < 256; ++i)  // a 8 x 8 x 4 colour cube
            picture.AddColor(uint8_t((i >> 5) * 255 / 7), uint8_t((i >> 2 & 7) * 255 / 7), uint8_t((i & 3) * 85));
    }
    uint8_t t5[32];
    Fill5BitTable(t5);
    uint32_t seed = 7;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t rgb = PhotoPixel(x, y, w, h, seed);
            uint32_t r = rgb >> 16, g = rgb >> 8 & 255, b = rgb & 255;
            if (bits == 8) {
                uint32_t i = (r >> 5) << 5 | (g >> 5) << 2 | b >> 6;
                picture.Put(x, y, i);
                const uint8_t* q = &picture.table[4 * i];
                rgb = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
            } else if (bits == 16) {
                picture.Put(x, y, (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
                rgb = uint32_t(t5[r >> 3]) << 16 | uint32_t(t5[g >> 3]) << 8 | t5[b >> 3];
            } else {
                picture.Put(x, y, rgb);
            }
            as24.Put(x, y, rgb);
        }
}

struct Timing {
    double save = 1e9;      // SaveJpeg alone
    double loadSave = 1e9;  // LoadBmp and SaveJpeg, what cjpeg does too
};

Timing BestExportSeconds(const std::string& bmp, int runs)
{
    Timing t;
    for (int i = 0; i < runs; ++i) {
        Clock::time_point start = Clock::now();
        DibImage image;
        if (!image.LoadBmp(bmp.c_str())) return {};
        Clock::time_point loaded = Clock::now();
        if (!image.SaveJpeg("export_out.jpg", 75)) return {};
        t.save = std::min(t.save, Seconds(loaded));
        t.loadSave = std::min(t.loadSave, Seconds(start));
    }
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string cjpeg = argc > 1 ? argv[1] : PELMIX_CJPEG;
    int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 11;
    const struct { int32_t w, h; } sizes[] = {{640, 480}, {1920, 1080}};
    const uint16_t depths[] = {8, 16, 24};

    printf("cjpeg: %s, %d runs each, quality 75\n", cjpeg.c_str(), runs);
    printf("SaveJpeg: best run; cjpeg: median of (its run less a start-up run on an 8 x 8 picture).\n");
    printf("%-10s %5s %12s %12s %12s %9s %9s %9s\n", "picture", "bits", "save Mpx/s", "load+save", "cjpeg Mpx/s",
           "start ms", "save/cj", "l+s/cj");
    for (const auto& size : sizes) {
        for (uint16_t bits : depths) {
            TestBmp picture(1, 1, 24), as24(1, 1, 24), tiny(1, 1, 24), tiny24(1, 1, 24);
            MakePictures(size.w, size.h, bits, picture, as24);
            MakePictures(8, 8, bits, tiny, tiny24);
            // cjpeg reads 8 and 24 bits itself; for 16 bits it gets the 24-bit form.
            std::string name = "bench" + std::to_string(bits) + ".bmp";
            std::string tinyName = "tiny" + std::to_string(bits) + ".bmp";
            if (!picture.Write(name) || !tiny.Write(tinyName) || !as24.Write("bench_as24.bmp") ||
                !tiny24.Write("tiny_as24.bmp")) {
                fprintf(stderr, "cannot write the pictures\n");
                return 1;
            }
            std::string cjpegInput = bits == 16 ? "bench_as24.bmp" : name;
            std::string cjpegTiny = bits == 16 ? "tiny_as24.bmp" : tinyName;
            Timing ours = BestExportSeconds(name, runs);
            double startup = 0;
            double cjWork = CjpegWorkSeconds(cjpeg, cjpegInput, cjpegTiny, runs, &startup);
            if (ours.save > 1e8 || cjWork < 0) {
                fprintf(stderr, "the export or cjpeg failed\n");
                return 1;
            }
            double mpx = double(size.w) * size.h / 1e6;
            char label[32];
            snprintf(label, sizeof label, "%dx%d", size.w, size.h);
            printf("%-10s %5d %12.1f %12.1f %12.1f %9.1f %9.2f %9.2f%s\n", label, bits, mpx / ours.save,
                   mpx / ours.loadSave, mpx / cjWork, startup * 1000, ours.save / cjWork, ours.loadSave / cjWork,
                   bits == 16 ? "  (cjpeg: 24-bit form)" : "");
        }
    }
    return 0;
}
