// The plug-in in a host whose locale writes decimal commas: it leaves that locale alone and still
// writes and reads its numbers with a point.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "core/vantor_params.h"
#include "editor/graphics.h"
#include "engine/param_ids.h"
#include "plugin_host.h"
#include "support/test_locale.h"
#include "support/test_plugin.h"

namespace vantor::testing {
namespace {

using namespace vst;

class HostLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(UseDecimalCommaLocale(), "");
    host_locale_ = setlocale(LC_ALL, nullptr);
  }
  void TearDown() override { UseCLocale(); }

  void ExpectHostLocale(const char* when) {
    EXPECT_EQ(setlocale(LC_ALL, nullptr), host_locale_) << when;
    EXPECT_STREQ(localeconv()->decimal_point, ",") << when;
  }

  std::string host_locale_;
};

TEST_F(HostLocaleTest, LoadedPluginKeepsTheLocaleAndItsNumbersKeepTheirPoint) {
  {
    HostState host;
    Instance plugin(&host);
    ASSERT_NE(plugin.effect, nullptr);
    ExpectHostLocale("after VSTPluginMain");
    plugin.Dispatch(effOpen);
    char half[] = "0.5";
    EXPECT_EQ(plugin.Dispatch(effString2Parameter, kMainVolume, 0, half), 1);
    EXPECT_FLOAT_EQ(plugin.Get(kMainVolume), 0.5f);
    EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kMainVolume), "0.50");
    // A comma ends the number, as everywhere else the plug-in reads numbers.
    char comma[] = "0,75";
    EXPECT_EQ(plugin.Dispatch(effString2Parameter, kMainVolume, 0, comma), 1);
    EXPECT_FLOAT_EQ(plugin.Get(kMainVolume), 0.0f);
    ExpectHostLocale("after effOpen and text entry");
  }
  ExpectHostLocale("after effClose");
}

TEST_F(HostLocaleTest, InfoLineAndEditorTextEntryKeepTheirPoint) {
  TestVantor plugin;
  ExpectHostLocale("after construction");
  plugin.Param(kPolyFmSpeed)->set_value(0.185);
  EXPECT_EQ(InfoLine(plugin, kPolyFmSpeed), "Poly FM Speed: 5.55Hz");
  plugin.Param(kVcoPortamento)->set_value(1.25);
  EXPECT_EQ(InfoLine(plugin, kVcoPortamento), "VCO Portamento: 1.25sec");

  PluginParam* volume = plugin.Param(kMainVolume);
  volume->set_value(0.5);
  EXPECT_EQ(Graphics::FormatForEntry(*volume), "0.50");
  Control* fader = nullptr;
  for (int i = 0; i < plugin.ui->NumControls(); ++i) {
    if (plugin.ui->GetControl(i)->param_index() == kMainVolume) fader = plugin.ui->GetControl(i);
  }
  ASSERT_NE(fader, nullptr);
  plugin.ui->CommitTextEntry(fader, volume, "0.75");
  EXPECT_DOUBLE_EQ(volume->value(), 0.75);
}

}  // namespace
}  // namespace vantor::testing
