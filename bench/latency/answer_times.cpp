// answer_times.exe HWND MS: sends the window WM_NULL every 50 ms for MS milliseconds and
// prints "count worst median" of its answer times in milliseconds. A message sent and
// not answered is how the system judges a window unresponsive.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(argv[1], nullptr, 0)));
    const DWORD forMs = static_cast<DWORD>(strtoul(argv[2], nullptr, 0));
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> answers;
    const DWORD until = GetTickCount() + forMs;
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
        DWORD_PTR result = 0;
        QueryPerformanceCounter(&start);
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
        QueryPerformanceCounter(&end);
        answers.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart));
        Sleep(50);
    }
    if (answers.empty())
        answers.push_back(0);
    std::sort(answers.begin(), answers.end());
    printf("%zu %.1f %.1f\n", answers.size(), answers.back(), answers[answers.size() / 2]);
    return 0;
}
