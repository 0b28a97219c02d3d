// A progress bar on the terminal for renders that take more than a moment.
#pragma once

#include <chrono>

namespace vsthost {

class ProgressBar {
 public:
  // Draws nothing unless `enabled` and standard error is a terminal.
  ProgressBar(long total, double sample_rate, bool enabled);
  ~ProgressBar() { Finish(); }
  void Update(long done);
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  long total_;
  double sample_rate_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_, last_draw_;
};

// Seconds the calling thread has spent on a core: speed measured apart from other load.
double ThreadCpuSeconds();
double WallSeconds();

}  // namespace vsthost
