// The small TS-5 model the send and read-back tests use, and the simulated printer on
// a pseudo-terminal as their peer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/model_file.h"
#include "model/stat_data_obj.h"
#include "scripted_prompt.h"
#include "sim_printer.h"

namespace pelmora::update::test {

using pelmora::test::Bytes;
using pelmora::test::ComPort;
using pelmora::test::ImageByte;
using pelmora::test::kTs5;
using pelmora::test::kTs5Custom;
using pelmora::test::SimPrinter;

// Loads a fixture; the model keeps its file path, which the read wait comes from.
inline void LoadModel(model::CStatDataObj& data, const std::string& path) {
  model::CModelFile file;
  ASSERT_EQ(file.Load(data, path), 1) << path;
}

// The sequences' questions and message, as AskedTexts gives them.
inline constexpr const char* kNotFound =
    "Error: Printer not found. Check printer description or connection.";
inline constexpr const char* kSendQ = "Warning: Send data to printer?";
inline constexpr const char* kGetQ = "Warning: Get printer setting?";

// What `prompt` was asked so far, each as "TITLE: TEXT".
inline std::vector<std::string> AskedTexts(const pelmora::test::CScriptedPrompt& prompt) {
  std::vector<std::string> texts;
  for (const auto& asked : prompt.AskedSoFar()) texts.push_back(asked.title + ": " + asked.text);
  return texts;
}

}  // namespace pelmora::update::test
