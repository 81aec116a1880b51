#include "fakes/FakeHost.h"

namespace tonefield::fakes {

namespace {
std::optional<std::string> NextAnswer(std::deque<std::optional<std::string>>& answers) {
  if (answers.empty()) return std::nullopt;
  auto answer = answers.front();
  answers.pop_front();
  return answer;
}
}  // namespace

std::optional<std::string> FakeHost::RunOpenDialog(const FileDialogRequest& request) {
  openRequests.push_back(request);
  return NextAnswer(openAnswers);
}

std::optional<std::string> FakeHost::RunSaveDialog(const FileDialogRequest& request) {
  saveRequests.push_back(request);
  return NextAnswer(saveAnswers);
}

void FakeHost::RequestClose() {
  ++closeRequests;
  if (onRequestClose) onRequestClose();
}

}  // namespace tonefield::fakes
