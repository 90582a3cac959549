// Message boxes for the questions and notices of the model and update layers.
#pragma once

#include <QWidget>

#include "model/user_prompt.h"

namespace pelmora::app {

// Shows each question as a modal QMessageBox owned by `owner`, with the
// title, text and buttons asked for, and returns the button pressed.
class CQtPrompt : public model::IUserPrompt {
 public:
  explicit CQtPrompt(QWidget* owner) : owner_(owner) {}
  model::Answer Ask(std::string_view title, std::string_view text, model::Buttons buttons) override;

 private:
  QWidget* owner_;
};

}  // namespace pelmora::app
