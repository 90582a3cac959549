// The questions and notices that operations put to the user. The desktop
// application answers them with message boxes; tests and pelmora-cli with
// scripted answers.
#pragma once

#include <string_view>

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

}  // namespace pelmora::model
