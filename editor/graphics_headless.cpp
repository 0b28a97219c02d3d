// GraphicsHeadless: scripted answers to message boxes and file prompts.
#include "editor/graphics_headless.h"

namespace vantor {

MessageBoxButton GraphicsHeadless::ShowMessageBox(const char* text, const char* caption,
                                                  MessageBoxType type) {
  messages_.push_back({text ? text : "", caption ? caption : "", type});
  if (!message_answers_.empty()) {
    const MessageBoxButton answer = message_answers_.front();
    message_answers_.pop_front();
    return answer;
  }
  return type == MessageBoxType::YesNo ? MessageBoxButton::No : MessageBoxButton::Ok;
}

void GraphicsHeadless::ChooseFile(std::string& file, FileAction action, std::string& folder,
                                  const char* extensions) {
  files_.push_back({file, action, folder, extensions ? extensions : ""});
  std::optional<std::string> answer;
  if (!file_answers_.empty()) {
    answer = file_answers_.front();
    file_answers_.pop_front();
  }
  if (!answer || answer->empty()) {
    file.clear();  // cancelled: the folder stays as it was
    return;
  }
  file = *answer;
  const size_t slash = file.find_last_of("/\\");
  folder = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

}  // namespace vantor
