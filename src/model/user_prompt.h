// The questions and notices that operations put to the user. The desktop
// application answers them with message boxes; tests and pelmora-cli with
// scripted answers.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::model {

enum class Buttons { kOk, kOkCancel, kYesNo };
// Values as the dialogs report them: 1 OK, 2 Cancel, 6 Yes, 7 No. A Yes/No
// question dismissed with Escape or its close box answers kCancel: "go back",
// neither Yes nor No.
enum class Answer : int { kOk = 1, kCancel = 2, kYes = 6, kNo = 7 };

class IUserPrompt {
 public:
  virtual ~IUserPrompt() = default;
  // Shows `text` under `title` with `buttons` and returns the button chosen.
  virtual Answer Ask(std::string_view title, std::string_view text, Buttons buttons) = 0;
};

// Answers from a script, in order; once the script is used up, every question
// gets `fallback` (OK boxes always get kOk). Records what was asked.
class CScriptedPrompt : public IUserPrompt {
 public:
  struct Asked {
    std::string title;
    std::string text;
    Buttons buttons;
  };

  explicit CScriptedPrompt(Answer fallback = Answer::kNo) : fallback_(fallback) {}
  void Push(Answer answer) { script_.push_back(answer); }

  Answer Ask(std::string_view title, std::string_view text, Buttons buttons) override {
    asked_.push_back({std::string(title), std::string(text), buttons});
    if (buttons == Buttons::kOk)
      return Answer::kOk;
    if (script_.empty())
      return fallback_;
    const Answer a = script_.front();
    script_.pop_front();
    return a;
  }

  const std::vector<Asked>& AskedSoFar() const { return asked_; }

 private:
  Answer fallback_;
  std::deque<Answer> script_;
  std::vector<Asked> asked_;
};

}  // namespace pelmora::model
