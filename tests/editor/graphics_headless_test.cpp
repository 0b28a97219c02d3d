// The headless editor answers dialogs from its script, in order, and records every question.
#include <gtest/gtest.h>

#include "editor/graphics_headless.h"

namespace vantor {
namespace {

TEST(GraphicsHeadlessTest, MessageBoxesTakeScriptedAnswersThenCautiousDefaults) {
  GraphicsHeadless g(nullptr);
  g.AnswerNextMessage(MessageBoxButton::Yes);
  EXPECT_EQ(g.ShowMessageBox("Sure?", "Q", MessageBoxType::YesNo), MessageBoxButton::Yes);
  EXPECT_EQ(g.ShowMessageBox("Again?", "Q", MessageBoxType::YesNo), MessageBoxButton::No);
  EXPECT_EQ(g.ShowMessageBox("Oops", "Error", MessageBoxType::Ok), MessageBoxButton::Ok);
  ASSERT_EQ(g.messages().size(), 3u);
  EXPECT_EQ(g.messages()[1].text, "Again?");
  EXPECT_EQ(g.messages()[2].caption, "Error");
  EXPECT_EQ(g.messages()[2].type, MessageBoxType::Ok);
}

TEST(GraphicsHeadlessTest, FilePromptReturnsPathAndFolderOrCancels) {
  GraphicsHeadless g(nullptr);
  g.ChooseNextFile("/tmp/banks/my.fxb");
  g.CancelNextFile();
  std::string file = "Vantor";
  std::string folder = "/start";
  g.ChooseFile(file, FileAction::Save, folder, "fxb");
  EXPECT_EQ(file, "/tmp/banks/my.fxb");
  EXPECT_EQ(folder, "/tmp/banks/");
  file = "x";
  g.ChooseFile(file, FileAction::Open, folder, "fxp");
  EXPECT_EQ(file, "");
  EXPECT_EQ(folder, "/tmp/banks/");  // a cancel leaves the folder
  file = "y";
  g.ChooseFile(file, FileAction::Open, folder, "fxp");  // script used up: cancelled
  EXPECT_EQ(file, "");
  ASSERT_EQ(g.files().size(), 3u);
  EXPECT_EQ(g.files()[0].proposed, "Vantor");
  EXPECT_EQ(g.files()[0].folder, "/start");
  EXPECT_EQ(g.files()[0].action, FileAction::Save);
  EXPECT_EQ(g.files()[1].extensions, "fxp");
  EXPECT_TRUE(g.ScriptUsedUp());
}

TEST(GraphicsHeadlessTest, HasTheEditorSize) {
  GraphicsHeadless g(nullptr);
  EXPECT_EQ(g.Width(), 924);
  EXPECT_EQ(g.Height(), 456);
  EXPECT_FALSE(g.IsWindowOpen());
}

}  // namespace
}  // namespace vantor
