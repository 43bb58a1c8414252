#include "CaptureProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <utility>

CaptureProgress::CaptureProgress(std::string what, int64_t total)
    : what(std::move(what)), total(std::max<int64_t>(total, 1))
{
    terminal = isatty(STDERR_FILENO);
    begin = std::chrono::steady_clock::now();
}

CaptureProgress::~CaptureProgress() { close(); }

void CaptureProgress::step(int64_t done)
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const int tenth = static_cast<int>(done * 10 / total);
    if (!terminal && tenth == lastTenth && done != total)
        return;
    if (terminal && done != total && elapsed - lastDraw < 0.2)
        return;
    lastTenth = tenth;
    lastDraw = elapsed;
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
    const int left = rate > 0 ? static_cast<int>(static_cast<double>(total - done) / rate + 0.5) : 0;
    const int width = 30;
    const int filled = static_cast<int>(done * width / total);
    char line[200];
    std::snprintf(line, sizeof(line), "%s [%s%s] %lld/%lld frames  %.1f fps  %d:%02d left", what.c_str(),
                  std::string(static_cast<size_t>(filled), '#').c_str(),
                  std::string(static_cast<size_t>(width - filled), '.').c_str(), static_cast<long long>(done),
                  static_cast<long long>(total), rate, left / 60, left % 60);
    // On a terminal the line is redrawn in place and cleared to its end.
    std::cerr << (terminal ? "\r" : "") << line << (terminal ? "\033[K" : "\n") << std::flush;
    open = terminal;
}

void CaptureProgress::close()
{
    if (open)
        std::cerr << std::endl;
    open = false;
}
