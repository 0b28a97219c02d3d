// The standalone program end to end: a private JACK server, our own client playing notes into
// `vantor` and recording it, the remembered state across restarts, its failures and exit
// statuses, the ALSA sequencer where the machine has one, and the editor window under Xvfb.
#include <alsa/asoundlib.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "core/vantor_params.h"
#include "standalone/jack_test_rig.h"
#include "support/test_home.h"
#include "tools/audition/descriptors.h"
#include "tools/audition/phrases.h"
#include "tools/vsthost/fx_file.h"

namespace vantor::testing {
namespace {

namespace fs = std::filesystem;
using audition::NoteFrequency;
using audition::Pitch;

constexpr double kRate = JackServer::kSampleRate;
// Factory programs the tests play: a mono pulse with an instant attack and no ensemble, and a
// mono sine.
constexpr int kPulseProgram = 3;
constexpr int kSineProgram = 16;
constexpr uint8_t kTransposeController = 21;  // assigned to "VCO Transpose" in the tests' ini

// The engine starts a note at a control tick near its time (ticks are a millisecond apart, and a
// block that is no whole number of ticks ends in a short one), so up to a tick early.
constexpr int kEarliest = 48;

// What one note sounded like: its onset in frames after the note's own frame, its pitch and
// its level, and the loudest sample in the block before it (but for the last kEarliest frames).
struct Heard {
  int onset = -1;
  double pitch = 0.0;
  double peak = 0.0;
  double before = 0.0;
};

class StandaloneTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new JackServer;
    std::string error;
    const fs::path folder = TestRoot() / "jack";
    fs::create_directories(folder);
    if (!server_->Start(folder, error)) {
      setup_error_ = error;
      return;
    }
    rig_ = new JackRig;
    if (!rig_->Open(server_->name(), error)) setup_error_ = error;
  }
  static void TearDownTestSuite() {
    delete rig_;
    rig_ = nullptr;
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(setup_error_.empty()) << setup_error_;
    folder_ = TestRoot() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(folder_ / "state");
    fs::create_directories(folder_ / "config" / "Brenwick");
    // The knob a musician assigned: a controller that transposes the mono oscillator.
    std::ofstream(folder_ / "config" / "Brenwick" / "vantor.ini")
        << "[MIDI Control]\nCC" << int{kTransposeController} << "=" << kVcoTranspose << "\n";
  }
  void TearDown() override {
    if (rig_ && rig_->BlockSize() != JackServer::kBlockSize)
      rig_->SetBlockSize(JackServer::kBlockSize);
  }

  fs::path StatePath() const {
    return folder_ / "state" / "Brenwick" / "Vantor" / "last-session.fxb";
  }

  // The program, started with `args` under a client name of its own; without a display unless
  // `gui`.
  std::unique_ptr<Child> Start(std::vector<std::string> args, bool gui = false,
                               bool with_server = true) {
    client_ = "vt" + std::to_string(++started_);
    std::vector<std::string> argv = {VANTOR_BINARY, "--name", client_};
    if (!use_alsa_) argv.push_back("--no-alsa");
    if (with_server) argv.insert(argv.end(), {"--server", server_->name()});
    if (!gui) argv.push_back("--no-gui");
    argv.insert(argv.end(), args.begin(), args.end());
    std::map<std::string, std::string> env = {{"XDG_STATE_HOME", (folder_ / "state").string()},
                                              {"XDG_CONFIG_HOME", (folder_ / "config").string()},
                                              {"HOME", folder_.string()},
                                              {"JACK_DEFAULT_SERVER", ""}};
    if (!gui || hide_display_) env["DISPLAY"] = "";
    auto child = std::make_unique<Child>();
    EXPECT_TRUE(child->Start(argv, env, folder_ / (client_ + ".log")));
    return child;
  }

  // Waits for the program's ports and puts it between our player and recorder.
  bool Wire() {
    if (!rig_->WaitForPort(client_ + ":midi_in", 30) ||
        !rig_->WaitForPort(client_ + ":out_L", 30)) {
      return false;
    }
    return rig_->Connect("test-player:midi_out", client_ + ":midi_in") &&
           rig_->Connect(client_ + ":out_L", "test-recorder:in_L") &&
           rig_->Connect(client_ + ":out_R", "test-recorder:in_R");
  }

  // Sends `message` a little ahead, so that it is on time however busy the machine is.
  uint32_t SendSoon(uint8_t status, uint8_t data1, uint8_t data2 = 0) {
    const uint32_t at = rig_->Now() + static_cast<uint32_t>(0.1 * kRate);
    rig_->Send(at, status, data1, data2);
    return at;
  }

  // Plays `key` for `seconds` at a frame 37 frames into a block's worth of lead, then listens.
  // A note during which the server missed a deadline (an xrun, which a busy machine causes) is
  // played again: the rig's clock cannot be trusted around one.
  Heard PlayNote(int key, double seconds = 0.4) {
    Heard heard;
    for (int attempt = 0; attempt < 3; ++attempt) {
      const uint64_t xruns = rig_->Xruns();
      heard = PlayNoteOnce(key, seconds);
      if (rig_->Xruns() == xruns) break;
    }
    return heard;
  }
  Heard PlayNoteOnce(int key, double seconds) {
    const int block = rig_->BlockSize();
    const uint32_t at = rig_->Now() + static_cast<uint32_t>(0.1 * kRate) + 37;
    const auto length = static_cast<uint32_t>(seconds * kRate);
    rig_->Send(at, 0x90, static_cast<uint8_t>(key), 100);
    rig_->Send(at + length, 0x80, static_cast<uint8_t>(key), 0);
    Heard heard;
    // Afterwards the release dies away, so that the next note starts from silence.
    if (!rig_->WaitForFrame(at + length + static_cast<uint32_t>(0.6 * kRate), 60)) return heard;
    const std::vector<double> sound = rig_->Left(at - block, block + static_cast<int>(length));
    heard.before = Peak(sound, 0, block - kEarliest);
    heard.peak = Peak(sound, block);
    const int first = FirstAbove(sound, 0.02 * heard.peak);
    heard.onset = first < 0 ? -block : first - block;
    const int steady = block + static_cast<int>(0.15 * kRate);
    heard.pitch =
        Pitch(std::vector<double>(sound.begin() + steady, sound.begin() + steady + 6000), kRate);
    return heard;
  }

  static JackServer* server_;
  static JackRig* rig_;
  static std::string setup_error_;
  static int started_;
  fs::path folder_;
  std::string client_;
  bool hide_display_ = false;
  bool use_alsa_ = false;
};

JackServer* StandaloneTest::server_ = nullptr;
JackRig* StandaloneTest::rig_ = nullptr;
std::string StandaloneTest::setup_error_;
int StandaloneTest::started_ = 0;

void ExpectOnTime(const Heard& heard, int block, const char* what) {
  EXPECT_LT(heard.before, 1e-4) << what << ": sound before the note";
  EXPECT_GT(heard.peak, 0.01) << what;
  EXPECT_GE(heard.onset, -kEarliest) << what;
  EXPECT_LT(heard.onset, block) << what << ": the note started late";
}

TEST_F(StandaloneTest, NotesPlayOnTimeAtPitchThroughProgramAndBlockChangesAndARestart) {
  std::unique_ptr<Child> vantor = Start({"--program", std::to_string(kSineProgram)});
  ASSERT_TRUE(vantor->WaitForOutput(
      "playing program 16 \"Mono: Sine Solo\" at 48000 Hz, 256 frames a block", 60))
      << vantor->Output();
  ASSERT_TRUE(Wire()) << vantor->Output();
  EXPECT_TRUE(rig_->Connected(client_ + ":out_L", "system:playback_1"));
  EXPECT_TRUE(rig_->Connected(client_ + ":out_R", "system:playback_2"));

  // A program change by MIDI to the pulse, which starts at once and holds its pitch exactly.
  SendSoon(0xC0, kPulseProgram);
  ASSERT_TRUE(vantor->WaitForOutput("program 3 \"Mono: Sequencer Pulse\"", 30)) << vantor->Output();
  const Heard first = PlayNote(57);
  ExpectOnTime(first, 256, "A3 at 256 frames a block");
  EXPECT_NEAR(first.pitch, NoteFrequency(57), NoteFrequency(57) * 0.01);

  // The server's block size changes: the program follows and keeps its timing.
  ASSERT_TRUE(rig_->SetBlockSize(512));
  ASSERT_TRUE(vantor->WaitForOutput("now at 48000 Hz, 512 frames a block", 30)) << vantor->Output();
  // The assigned controller turned all the way up: +7 semitones.
  SendSoon(0xB0, kTransposeController, 127);
  const Heard transposed = PlayNote(57);
  ExpectOnTime(transposed, 512, "A3 at 512 frames a block");
  EXPECT_NEAR(transposed.pitch, NoteFrequency(57 + 7), NoteFrequency(57 + 7) * 0.01);

  vantor->Signal(SIGTERM);
  EXPECT_EQ(vantor->Wait(60), 0) << vantor->Output();
  EXPECT_NE(vantor->Output().find("saved the bank and program 3"), std::string::npos)
      << vantor->Output();
  vsthost::FxFile saved;
  {
    std::ifstream in(StatePath(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::string error;
    ASSERT_TRUE(vsthost::ParseFxFile(bytes, saved, error)) << error;
  }
  EXPECT_TRUE(saved.is_bank);
  EXPECT_EQ(saved.bank.current_program, kPulseProgram);
  EXPECT_EQ(saved.bank.num_programs, 64);

  // The next start restores the program and the edited parameter.
  std::unique_ptr<Child> again = Start({});
  ASSERT_TRUE(
      again->WaitForOutput("playing program 3 \"Mono: Sequencer Pulse\" at 48000 Hz, 512", 60))
      << again->Output();
  ASSERT_TRUE(Wire()) << again->Output();
  const Heard restored = PlayNote(57);
  ExpectOnTime(restored, 512, "A3 after the restart");
  EXPECT_NEAR(restored.pitch, NoteFrequency(57 + 7), NoteFrequency(57 + 7) * 0.01);
  again->Signal(SIGINT);
  EXPECT_EQ(again->Wait(60), 0) << again->Output();
}

TEST_F(StandaloneTest, DamagedStateIsSetAsideAndTheFactoryBankPlays) {
  fs::create_directories(StatePath().parent_path());
  const std::string garbage = "FxBk but not really a bank";
  std::ofstream(StatePath(), std::ios::binary) << garbage;
  std::unique_ptr<Child> vantor = Start({});
  ASSERT_TRUE(vantor->WaitForOutput("playing program 0 \"Pad: Fat Strings\"", 60))
      << vantor->Output();
  const std::string said = vantor->Output();
  EXPECT_NE(said.find("the saved state could not be restored"), std::string::npos) << said;
  const fs::path aside = StatePath().string() + ".damaged";
  EXPECT_NE(said.find("set aside as " + aside.string()), std::string::npos) << said;
  std::ifstream kept(aside, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), garbage);
  EXPECT_FALSE(fs::exists(StatePath()));

  ASSERT_TRUE(Wire());
  const Heard pad = PlayNote(57, 0.5);
  EXPECT_GT(pad.peak, 0.01);
  vantor->Signal(SIGTERM);
  EXPECT_EQ(vantor->Wait(60), 0) << vantor->Output();
  EXPECT_TRUE(fs::exists(StatePath()));  // a sound state replaces it

  // A second damaged file is set aside beside the first, which stays.
  std::ofstream(StatePath(), std::ios::binary | std::ios::trunc) << "x";
  std::unique_ptr<Child> third = Start({});
  ASSERT_TRUE(third->WaitForOutput("playing", 60)) << third->Output();
  EXPECT_TRUE(fs::exists(StatePath().string() + ".damaged-2"));
  EXPECT_TRUE(fs::exists(aside));
  third->Signal(SIGTERM);
  EXPECT_EQ(third->Wait(60), 0);
}

TEST_F(StandaloneTest, AServerThatStopsEndsThePlayingWithTheStateSaved) {
  JackServer own;  // stopped under the program's feet; the test's own clients stay off it
  std::string error;
  ASSERT_TRUE(own.Start(folder_, error, "-own")) << error;
  std::unique_ptr<Child> vantor = Start({"--server", own.name(), "--program", "5"}, false, false);
  ASSERT_TRUE(vantor->WaitForOutput("playing program 5", 60)) << vantor->Output();
  own.Stop();
  EXPECT_EQ(vantor->Wait(60), 6) << vantor->Output();
  EXPECT_NE(vantor->Output().find("the JACK server stopped"), std::string::npos);
  EXPECT_NE(vantor->Output().find("saved the bank and program 5"), std::string::npos)
      << vantor->Output();
}

TEST_F(StandaloneTest, FailuresAreToldWithTheirExitStatus) {
  struct Case {
    std::vector<std::string> args;
    bool with_server;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {{"--server", "no-such-server-here"},
       false,
       3,
       "no JACK server \"no-such-server-here\" is running. Start one with"},
      {{"--frobnicate"}, true, 2, "unknown option --frobnicate"},
      {{"--program"}, true, 2, "--program needs a value"},
      {{"--program", "No Such Program"}, true, 2, "no program is named \"No Such Program\""},
      {{"--bank", (folder_ / "missing.fxb").string()}, true, 2, "there is no file"},
      {{"--connect", "nothing-by-this-name"},
       true,
       5,
       "MIDI source \"nothing-by-this-name\" not found"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<Child> vantor = Start(c.args, false, c.with_server);
    EXPECT_EQ(vantor->Wait(60), c.status) << c.args[0] << "\n" << vantor->Output();
    EXPECT_NE(vantor->Output().find(c.says), std::string::npos) << vantor->Output();
  }
  // Without a display the editor cannot open; the message points to --no-gui.
  hide_display_ = true;
  std::unique_ptr<Child> headless = Start({}, true);
  hide_display_ = false;
  EXPECT_EQ(headless->Wait(60), 4) << headless->Output();
  EXPECT_NE(headless->Output().find("Run \"vantor --no-gui\" to play without it"),
            std::string::npos)
      << headless->Output();
  EXPECT_FALSE(fs::exists(StatePath())) << "a failed start saved over the state";

  std::unique_ptr<Child> help = Start({"--help"});
  EXPECT_EQ(help->Wait(30), 0);
  for (const char* option : {"--no-gui", "--connect", "--no-autoconnect", "--no-alsa", "--bank",
                             "--program", "--server", "--name", "Exit status"}) {
    EXPECT_NE(help->Output().find(option), std::string::npos) << option;
  }
}

// An ALSA sequencer client of the test's own, sending notes to the program's port.
TEST_F(StandaloneTest, AlsaSequencerNotesArePlayedOneBlockAfterTheyArrive) {
  if (!fs::exists("/dev/snd/seq")) {
    GTEST_SKIP() << "this machine has no ALSA sequencer (/dev/snd/seq is missing: the snd-seq "
                    "kernel module is not loaded, or the container does not pass it on)";
  }
  snd_seq_t* seq = nullptr;
  ASSERT_GE(snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0), 0);
  snd_seq_set_client_name(seq, "vantor-test-keys");
  const int port =
      snd_seq_create_simple_port(seq, "keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC);
  ASSERT_GE(port, 0);
  const std::string source = std::to_string(snd_seq_client_id(seq)) + ":" + std::to_string(port);
  use_alsa_ = true;
  std::unique_ptr<Child> vantor =
      Start({"--program", std::to_string(kPulseProgram), "--connect", source});
  ASSERT_TRUE(vantor->WaitForOutput("playing", 60)) << vantor->Output();
  ASSERT_TRUE(Wire());
  auto send = [&](bool on) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    if (on) {
      snd_seq_ev_set_noteon(&event, 0, 57, 100);
    } else {
      snd_seq_ev_set_noteoff(&event, 0, 57, 0);
    }
    snd_seq_event_output_direct(seq, &event);
  };
  const uint32_t sent = rig_->Now();
  send(true);
  ASSERT_TRUE(rig_->WaitForFrame(sent + static_cast<uint32_t>(0.5 * kRate), 60));
  send(false);
  const std::vector<double> sound = rig_->Left(sent, static_cast<int>(0.5 * kRate));
  const int onset = FirstAbove(sound, 0.02 * Peak(sound));
  EXPECT_GE(onset, 0);
  EXPECT_LT(onset, 3 * JackServer::kBlockSize) << "one block of queueing, and the send's own";
  EXPECT_NEAR(Pitch(std::vector<double>(sound.begin() + 7200, sound.begin() + 13200), kRate),
              NoteFrequency(57), NoteFrequency(57) * 0.01);
  vantor->Signal(SIGTERM);
  EXPECT_EQ(vantor->Wait(60), 0);
  snd_seq_close(seq);
}

// The top-level window whose title is `title`; 0 when there is none.
Window FindWindow(Display* display, const std::string& title) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) && name) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
  }
  if (children) XFree(children);
  return found;
}

TEST_F(StandaloneTest, EditorWindowShowsTheProgramAndItsControlsAreHeard) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display: the test runs under with_xvfb.sh";
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  std::unique_ptr<Child> vantor = Start({"--program", std::to_string(kPulseProgram)}, true);
  ASSERT_TRUE(vantor->WaitForOutput("playing program 3", 60)) << vantor->Output();
  ASSERT_TRUE(Wire());
  Window window = 0;
  auto wait_for = [&](const std::string& title) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!(window = FindWindow(display, title)) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return window != 0;
  };
  ASSERT_TRUE(wait_for("Vantor - 3 Mono: Sequencer Pulse")) << vantor->Output();

  // A held note; then the VCO octave switch is dragged up a step at a time. Heard: the pitch
  // rises by octaves.
  const uint32_t at = SendSoon(0x90, 57, 100);
  ASSERT_TRUE(rig_->WaitForFrame(at + static_cast<uint32_t>(0.3 * kRate), 60));
  // The pitch of the last stretch recorded, measured again when an xrun fell into it.
  auto pitch_now = [&] {
    double pitch = 0.0;
    for (int attempt = 0; attempt < 20; ++attempt) {
      const uint64_t xruns = rig_->Xruns();
      const uint32_t end = rig_->Now() - static_cast<uint32_t>(2 * rig_->BlockSize());
      pitch = Pitch(rig_->Left(end - 6000, 6000), kRate);
      if (rig_->Xruns() == xruns && rig_->WaitForFrame(end, 10) && rig_->Xruns() == xruns) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    return pitch;
  };
  const double before = pitch_now();
  EXPECT_NEAR(before, NoteFrequency(57), NoteFrequency(57) * 0.01);
  ASSERT_EQ(std::system("xdotool mousemove 89 164 mousedown 1 mousemove 89 150 mousemove 89 120 "
                        "mousemove 89 90 mouseup 1"),
            0);
  // Until the pitch has moved and settled on a whole octave.
  double after = before;
  auto octaves = [&] { return std::log2(after / before); };
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((std::fabs(octaves()) < 0.9 || std::fabs(octaves() - std::round(octaves())) > 0.02) &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    after = pitch_now();
  }
  EXPECT_NEAR(octaves(), std::round(octaves()), 0.02) << after << " Hz after " << before << " Hz";
  EXPECT_GE(std::fabs(octaves()), 0.9) << "the drag changed nothing that is heard";
  SendSoon(0x80, 57);

  // The next-program button: the title follows.
  ASSERT_EQ(std::system("xdotool mousemove 144 430 click 1"), 0);
  EXPECT_TRUE(wait_for("Vantor - 4 Stack: Singing Voice")) << vantor->Output();

  // Closing the window as a window manager asks to: the program saves and quits.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  close.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &close);
  XFlush(display);
  EXPECT_EQ(vantor->Wait(60), 0) << vantor->Output();
  EXPECT_NE(vantor->Output().find("saved the bank and program 4"), std::string::npos)
      << vantor->Output();
  XCloseDisplay(display);
}

}  // namespace
}  // namespace vantor::testing
