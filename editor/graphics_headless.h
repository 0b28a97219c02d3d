// GraphicsHeadless: an editor without a window that answers dialogs from a script and records them.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "editor/graphics.h"

namespace vantor {

class GraphicsHeadless : public Graphics {
 public:
  struct AskedMessage {
    std::string text;
    std::string caption;
    MessageBoxType type;
  };
  struct AskedFile {
    std::string proposed;  // the file name offered to the user
    FileAction action;
    std::string folder;  // the start folder
    std::string extensions;
  };

  explicit GraphicsHeadless(PluginBase* plugin) : Graphics(plugin) {}

  bool IsWindowOpen() const override { return window_open_; }
  MessageBoxButton ShowMessageBox(const char* text, const char* caption,
                                  MessageBoxType type) override;
  void ChooseFile(std::string& file, FileAction action, std::string& folder,
                  const char* extensions) override;

  // Script: answers are used in order. Without a scripted answer an OK box is answered Ok, a
  // question No (the cautious answer), and a file prompt is cancelled.
  void AnswerNextMessage(MessageBoxButton button) { message_answers_.push_back(button); }
  void ChooseNextFile(const std::string& path) { file_answers_.push_back(path); }
  void CancelNextFile() { file_answers_.push_back(std::nullopt); }
  void set_window_open(bool open) { window_open_ = open; }

  const std::vector<AskedMessage>& messages() const { return messages_; }
  const std::vector<AskedFile>& files() const { return files_; }
  void ClearRecords() {
    messages_.clear();
    files_.clear();
  }
  bool ScriptUsedUp() const { return message_answers_.empty() && file_answers_.empty(); }

 private:
  bool window_open_ = false;
  std::deque<MessageBoxButton> message_answers_;
  std::deque<std::optional<std::string>> file_answers_;
  std::vector<AskedMessage> messages_;
  std::vector<AskedFile> files_;
};

}  // namespace vantor
