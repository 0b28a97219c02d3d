// Progress bar drawing on standard error, and the clocks renders are timed with.
#include "tools/vsthost/progress.h"

#include <algorithm>
#include <cstdio>

#include "tools/vsthost/os.h"

namespace vsthost {
namespace {
// A render shorter than this needs no bar: it would only flicker.
constexpr double kShowAfterSeconds = 2.0;
constexpr double kRedrawSeconds = 0.1;
constexpr int kBarWidth = 40;
}  // namespace

ProgressBar::ProgressBar(long total, double sample_rate, bool enabled)
    : total_(std::max(1L, total)),
      sample_rate_(sample_rate),
      enabled_(enabled && os::ErrorOutputIsTerminal()),
      start_(Clock::now()),
      last_draw_(start_) {}

void ProgressBar::Update(long done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (elapsed < kShowAfterSeconds) return;
  if (drawn_ && std::chrono::duration<double>(now - last_draw_).count() < kRedrawSeconds) return;
  last_draw_ = now;
  drawn_ = true;
  const double fraction = std::clamp(static_cast<double>(done) / total_, 0.0, 1.0);
  const int filled = static_cast<int>(fraction * kBarWidth);
  char bar[kBarWidth + 1];
  for (int i = 0; i < kBarWidth; ++i)
    bar[i] = i < filled ? '#' : '.';
  bar[kBarWidth] = '\0';
  const double audio = done / sample_rate_;
  fprintf(stderr, "\r[%s] %3d%%  %.1f s of %.1f s, %.1fx real time ", bar,
          static_cast<int>(fraction * 100), audio, total_ / sample_rate_,
          elapsed > 0 ? audio / elapsed : 0.0);
  fflush(stderr);
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  fprintf(stderr, "\r%*s\r", kBarWidth + 60, "");
  fflush(stderr);
  drawn_ = false;
}

double ThreadCpuSeconds() {
  return os::ThreadCpuSeconds();
}

double WallSeconds() {
  return os::WallSeconds();
}

}  // namespace vsthost
