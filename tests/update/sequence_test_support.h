// The small TS-5 model the send and read-back tests use, and the simulated printer on
// a pseudo-terminal as their peer.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "model/model_file.h"
#include "model/stat_data_obj.h"
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

}  // namespace pelmora::update::test
