// Shared set-up of the shell tests: a private configuration folder and programs that differ.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/vantor_params.h"
#include "support/test_home.h"
#include "support/test_plugin.h"

namespace vantor::testing {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_home_ = FreshConfigHome();
    files_ = config_home_ / "files";
    std::filesystem::create_directories(files_);
  }

  std::string File(const std::string& name) const { return (files_ / name).string(); }

  // Gives every slot its own name and values, then makes `current` the current program.
  static void FillPrograms(TestVantor& plugin, int current = 0) {
    for (int i = 0; i < PluginBase::kNumPrograms; ++i) {
      ASSERT_TRUE(plugin.RecallProgram(i));
      plugin.Param(kMainVolume)->set_value(i / 64.0);
      plugin.Param(kFilterCutoff)->set_value(1.0 - i / 128.0);
      plugin.Param(kPolyphony)->set_value(i % 3);
      char name[32];
      snprintf(name, sizeof name, "Program %02d", i);
      plugin.ModifyCurrentPreset(name);
    }
    ASSERT_TRUE(plugin.RecallProgram(current));
  }

  // Everything a load may change: the slots as a bank, the values, the current program.
  struct Observed {
    std::vector<uint8_t> bank;
    std::vector<double> values;
    int current;
    bool operator==(const Observed&) const = default;
  };
  static Observed Observe(TestVantor& plugin) {
    Observed o{plugin.BankFileBytes(), {}, plugin.current_program()};
    for (int i = 0; i < PluginBase::kNumParams; ++i)
      o.values.push_back(plugin.Param(i)->value());
    return o;
  }

  static std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  std::filesystem::path config_home_;
  std::filesystem::path files_;
};

}  // namespace vantor::testing
