#include "cli_prompt.h"

#include <unistd.h>

#include <string>

namespace pelmora::cli {

using model::Answer;
using model::Buttons;

Answer CCliPrompt::Ask(std::string_view /*title*/, std::string_view text, Buttons buttons) {
  std::fprintf(err_, "%.*s\n", static_cast<int>(text.size()), text.data());
  const Answer yes = buttons == Buttons::kYesNo ? Answer::kYes : Answer::kOk;
  const Answer no = buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel;
  if (buttons == Buttons::kOk)
    return Answer::kOk;
  if (assumeYes_)
    return yes;
  if (!::isatty(STDIN_FILENO))
    return no;
  std::fprintf(err_, buttons == Buttons::kYesNo ? "[y/N] " : "[OK/cancel] ");
  std::fflush(err_);
  char line[64] = {};
  if (std::fgets(line, sizeof line, stdin) == nullptr)
    return no;
  const char c = line[0];
  return c == 'y' || c == 'Y' || c == 'o' || c == 'O' ? yes : no;
}

}  // namespace pelmora::cli
