// Answers the user questions of pelmora-cli.
#pragma once

#include <cstdio>

#include "model/user_prompt.h"

namespace pelmora::cli {

// Notices (OK boxes) go to standard error. Questions get OK/Yes when
// `assumeYes` is set; otherwise they are asked on the terminal when standard
// input is one, and refused (No/Cancel) when it is not.
class CCliPrompt : public model::IUserPrompt {
 public:
  explicit CCliPrompt(bool assumeYes, std::FILE* err = stderr) : assumeYes_(assumeYes), err_(err) {}
  model::Answer Ask(std::string_view title, std::string_view text, model::Buttons buttons) override;

 private:
  bool assumeYes_;
  std::FILE* err_;
};

}  // namespace pelmora::cli
