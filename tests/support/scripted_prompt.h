// Questions answered from a script, for tests and benchmarks that run operations which
// ask the user.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "model/user_prompt.h"

namespace pelmora::test {

// Answers from a script, in order; once the script is used up, every question
// gets `fallback` (OK boxes always get kOk). Records what was asked.
class CScriptedPrompt : public model::IUserPrompt {
 public:
  using Answer = model::Answer;
  using Buttons = model::Buttons;

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

}  // namespace pelmora::test
