// Measurements of a rendered program: level, loudness, brightness, attack, width and pitch, and
// the spectrum helpers they are built from.
#pragma once

#include <vector>

#include "tools/audition/phrases.h"

namespace vantor::audition {

struct Stereo {
  std::vector<double> left, right;
  double rate = 44100.0;
  int Frames() const { return static_cast<int>(left.size()); }
};

struct Descriptors {
  double peak_dbfs = 0.0;      // highest sample of either channel
  double loudness_lufs = 0.0;  // gated integrated loudness of both channels
  double centroid_hz = 0.0;    // magnitude-weighted mean frequency while the phrase plays
  double attack_s = 0.0;       // from the first key to 90% of the first note's or chord's peak
  double width = 0.0;          // side over mid level: 0 for mono, 1 when the sides are as loud
  double pitch_hz = 0.0;       // of the phrase's lone note; 0 when it has no clear pitch
};

Descriptors Describe(const Stereo& audio, const Phrase& phrase);

// The two channels' mean over [start, end) seconds.
std::vector<double> MonoMix(const Stereo& audio, double start, double end);

// Welch estimate of the power spectrum (Hann windows of `fft_size`, half overlapping): bins 0 to
// fft_size / 2, bin k at k * rate / fft_size.
std::vector<double> PowerSpectrum(const std::vector<double>& signal, int fft_size);

double SpectralCentroid(const std::vector<double>& power, double rate);

// Mean power in bands of equal width on a log-frequency axis from `low` to `high` Hz, in dB.
std::vector<double> BandLevels(const std::vector<double>& power, double rate, double low,
                               double high, int bands_per_octave);
double BandCentre(double low, int bands_per_octave, int band);

double PeakDbfs(const Stereo& audio);
double IntegratedLoudness(const Stereo& audio);
double AttackTime(const Stereo& audio, double window_end);
double StereoWidth(const Stereo& audio);

// Fundamental frequency by the cumulative-mean-normalised difference method, the median over
// frames of the signal; 0 when fewer than half the frames are clearly periodic.
double Pitch(const std::vector<double>& signal, double rate);

double ToDb(double power);

}  // namespace vantor::audition
