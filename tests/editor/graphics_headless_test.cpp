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
  g.ChooseNextFile("/home/player/banks/my.fxb");
  g.CancelNextFile();
  std::string file = "Vantor";
  std::string folder = "/start";
  g.ChooseFile(file, FileAction::Save, folder, "fxb");
  EXPECT_EQ(file, "/home/player/banks/my.fxb");
  EXPECT_EQ(folder, "/home/player/banks/");
  file = "x";
  g.ChooseFile(file, FileAction::Open, folder, "fxp");
  EXPECT_EQ(file, "");
  EXPECT_EQ(folder, "/home/player/banks/");  // a cancel leaves the folder
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

TEST(GraphicsHeadlessTest, MenusAreAnsweredByItemPathsAndRecorded) {
  GraphicsHeadless g(nullptr);
  PopupMenu menu;
  menu.AddItem("first");
  menu.AddItem("greyed", kItemDisabled);
  auto sub = std::make_unique<PopupMenu>();
  sub->AddItem("x");
  sub->AddItem("y", kItemChecked);
  PopupMenu* inner = menu.AddSubmenu("more", std::move(sub))->submenu.get();

  g.ChooseNextMenuItem({2, 1});
  EXPECT_EQ(g.ShowPopupMenu(menu, {1, 2, 3, 4}), inner);
  EXPECT_EQ(inner->chosen(), 1);
  EXPECT_EQ(menu.chosen(), -1);
  g.ChooseNextMenuItem({0});
  EXPECT_EQ(g.ShowPopupMenu(menu, {}), &menu);
  EXPECT_EQ(menu.chosen(), 0);
  // What cannot be chosen closes the menu without a choice.
  for (std::vector<int> path : {std::vector<int>{1}, {2}, {7}, {0, 1}, {2, 5}, {}}) {
    g.ChooseNextMenuItem(path);
    EXPECT_EQ(g.ShowPopupMenu(menu, {}), nullptr);
  }
  EXPECT_EQ(g.ShowPopupMenu(menu, {}), nullptr);  // no answer left
  ASSERT_EQ(g.menus().size(), 9u);
  EXPECT_EQ(g.menus()[0].rect, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(g.menus()[0].items[2].submenu[1].text, "y");
  EXPECT_EQ(g.menus()[0].items[2].submenu[1].flags, kItemChecked);
  EXPECT_EQ(g.menus()[0].items[1].flags, kItemDisabled);
}

TEST(GraphicsHeadlessTest, ColoursUrlsClipboardFoldersWindowsAndSize) {
  GraphicsHeadless g(nullptr);
  Color colour{17, 1, 2, 3};
  g.ChooseNextColor({200, 9, 8, 7});
  EXPECT_TRUE(g.ChooseColor(colour, "Pick"));
  EXPECT_EQ(colour, (Color{17, 9, 8, 7}));  // alpha untouched
  g.CancelNextColor();
  EXPECT_FALSE(g.ChooseColor(colour, "Pick"));
  EXPECT_FALSE(g.ChooseColor(colour, "Pick"));
  EXPECT_EQ(colour, (Color{17, 9, 8, 7}));

  // A confirmation must be answered Yes; a failure shows the error text.
  EXPECT_FALSE(g.OpenUrl("https://example.org", "Web", "Open it?", nullptr));
  g.AnswerNextMessage(MessageBoxButton::Yes);
  EXPECT_TRUE(g.OpenUrl("https://example.org", "Web", "Open it?", nullptr));
  EXPECT_TRUE(g.OpenUrl("https://example.org/b", "Web", nullptr, nullptr));
  EXPECT_EQ(g.opened_urls(),
            (std::vector<std::string>{"https://example.org", "https://example.org/b"}));
  g.set_urls_open(false);
  EXPECT_FALSE(g.OpenUrl("https://example.org", "Web", nullptr, "No connection."));
  ASSERT_EQ(g.messages().size(), 3u);
  EXPECT_EQ(g.messages()[2].text, "No connection.");
  EXPECT_EQ(g.messages()[2].type, MessageBoxType::Ok);

  std::string text = "stale";
  EXPECT_FALSE(g.ClipboardText(text));
  EXPECT_EQ(text, "");
  g.set_clipboard("caf\xC3\xA9");
  EXPECT_TRUE(g.ClipboardText(text));
  EXPECT_EQ(text, "caf\xC3\xA9");

  EXPECT_EQ(g.Width(), 924);  // the editor's size, and no window until one is opened
  EXPECT_EQ(g.Height(), 456);
  EXPECT_FALSE(g.IsWindowOpen());
  EXPECT_TRUE(g.OpenEditorWindow(nullptr));
  EXPECT_TRUE(g.IsWindowOpen());
  g.CloseEditorWindow();
  g.set_opens_windows(false);
  EXPECT_FALSE(g.OpenEditorWindow(nullptr));
  EXPECT_FALSE(g.IsWindowOpen());

  g.set_folder(GraphicsHeadless::Folder::AllUsersAppData, "/common/");
  std::string folder;
  g.AppDataFolder(folder, true);
  EXPECT_EQ(folder, "/common/");
  g.UserAppDataFolder(folder);
  EXPECT_EQ(folder, "");
}

}  // namespace
}  // namespace vantor
