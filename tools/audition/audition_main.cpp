// program_audition: renders every factory program through the plug-in with vsthost, a phrase
// suited to its category, and measures what came out.
//
//   program_audition --vsthost PATH --plugin PATH [-o DIR] [--only N]...
//
// Writes DIR/NN-name.wav and .png per program, DIR/contact-sheet.png and DIR/descriptors.csv.
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/vantor_params.h"
#include "tools/audition/contact_sheet.h"
#include "tools/audition/descriptors.h"
#include "tools/audition/factory_programs.h"
#include "tools/audition/phrases.h"

extern char** environ;

namespace {

using namespace vantor::audition;
namespace fs = std::filesystem;

struct Options {
  std::string vsthost, plugin, out_dir = "out/audition";
  std::set<int> only;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (word == "--vsthost") {
      options->vsthost = value;
    } else if (word == "--plugin") {
      options->plugin = value;
    } else if (word == "-o") {
      options->out_dir = value;
    } else if (word == "--only") {
      options->only.insert(atoi(value.c_str()));
    } else {
      return false;
    }
  }
  return !options->vsthost.empty() && !options->plugin.empty();
}

// "Pad: Fat Strings" -> "pad-fat-strings": safe in every file system and shell.
std::string Slug(const std::string& name) {
  std::string slug;
  for (char c : name) {
    if (isalnum(static_cast<unsigned char>(c))) {
      slug += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  while (!slug.empty() && slug.back() == '-')
    slug.pop_back();
  return slug;
}

bool Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ReadWav(const std::string& path, Stereo* audio) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return false;
  std::vector<double> frames(static_cast<size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_double(file, frames.data(), info.frames);
  sf_close(file);
  if (info.channels != 2 || got != info.frames) return false;
  audio->rate = info.samplerate;
  audio->left.resize(static_cast<size_t>(got));
  audio->right.resize(static_cast<size_t>(got));
  for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
    audio->left[i] = frames[2 * i];
    audio->right[i] = frames[2 * i + 1];
  }
  return true;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The nearest note in the instrument's naming and the distance from it in cents: "C2+3".
std::string NoteText(double hz) {
  if (hz <= 0.0) return "";
  const double note = 69.0 + 12.0 * std::log2(hz / 440.0);
  const int nearest = static_cast<int>(std::lround(note));
  char cents[16];
  snprintf(cents, sizeof cents, "%+d", static_cast<int>(std::lround((note - nearest) * 100.0)));
  return vantor::NoteName(nearest) + cents;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    fprintf(stderr, "usage: %s --vsthost PATH --plugin PATH [-o DIR] [--only N]...\n", argv[0]);
    return 2;
  }
  const std::vector<FactoryProgram> programs = BuiltInPrograms();
  if (programs.empty()) {
    fprintf(stderr, "the built-in bank cannot be read\n");
    return 1;
  }
  const fs::path dir = options.out_dir;
  std::error_code ec;
  fs::create_directories(dir / "midi", ec);
  if (ec) {
    fprintf(stderr, "cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }

  std::ofstream csv(dir / "descriptors.csv", std::ios::trunc);
  csv << "program,name,category,phrase,peak_dbfs,loudness_lufs,centroid_hz,attack_ms,width,"
         "pitch_hz,pitch_note\n";
  printf("%-3s %-30s %-8s %8s %8s %8s %7s %6s %8s\n", "#", "name", "category", "peak", "LUFS",
         "centroid", "attack", "width", "pitch");
  std::vector<SheetEntry> sheet;
  int failures = 0;
  for (size_t n = 0; n < programs.size(); ++n) {
    const FactoryProgram& program = programs[n];
    char number[24];
    snprintf(number, sizeof number, "%02zu", n);
    const std::string stem = std::string(number) + "-" + Slug(program.name);
    sheet.push_back({(dir / (stem + ".png")).string(), std::string(number) + " " + program.name});
    if (!options.only.empty() && !options.only.count(static_cast<int>(n))) continue;

    const Phrase phrase = AuditionPhrase(program.name, program.values.data());
    const fs::path midi = dir / "midi" / (stem + ".mid");
    const std::string wav = (dir / (stem + ".wav")).string();
    char tail[32];
    snprintf(tail, sizeof tail, "%.2f", phrase.tail);
    Stereo audio;
    if (!WriteFile(midi, MidiFileBytes(phrase)) ||
        !Run({options.vsthost, "render", options.plugin, midi.string(), "-o", wav, "--program",
              std::to_string(n), "--tail", tail, "--format", "float", "--picture",
              sheet.back().picture, "--quiet"}) ||
        !ReadWav(wav, &audio)) {
      fprintf(stderr, "%s: rendering failed\n", stem.c_str());
      ++failures;
      continue;
    }
    const Descriptors d = Describe(audio, phrase);
    const Category category = CategoryOf(program.name);
    char row[512];
    snprintf(row, sizeof row, "%zu,\"%s\",%s,%s,%.2f,%.2f,%.0f,%.0f,%.3f,%s,%s\n", n,
             program.name.c_str(), CategoryName(category), phrase.kind.c_str(), d.peak_dbfs,
             d.loudness_lufs, d.centroid_hz, d.attack_s * 1000.0, d.width,
             d.pitch_hz > 0.0 ? std::to_string(d.pitch_hz).c_str() : "",
             NoteText(d.pitch_hz).c_str());
    csv << row;
    printf("%-3zu %-30s %-8s %8.2f %8.2f %8.0f %7.0f %6.3f %8s\n", n, program.name.c_str(),
           CategoryName(category), d.peak_dbfs, d.loudness_lufs, d.centroid_hz, d.attack_s * 1000.0,
           d.width, NoteText(d.pitch_hz).c_str());
    fflush(stdout);
  }
  std::string error;
  if (!WriteContactSheet(sheet, 8, (dir / "contact-sheet.png").string(), &error)) {
    fprintf(stderr, "contact sheet: %s\n", error.c_str());
    ++failures;
  }
  printf("wrote %s/descriptors.csv and %s/contact-sheet.png\n", dir.c_str(), dir.c_str());
  return failures == 0 ? 0 : 1;
}
