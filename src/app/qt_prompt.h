// Message boxes for the questions and notices of the model and update layers.
#pragma once

#include <QMessageBox>
#include <QWidget>
#include <string_view>

#include "model/user_prompt.h"

namespace pelmora::app {

// The icon a message gets: critical for errors (titled "Error", or saying that
// something failed), the warning icon under "Warning", the question icon for
// other questions, and information otherwise.
QMessageBox::Icon MessageIcon(std::string_view title, std::string_view text,
                              model::Buttons buttons);

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
