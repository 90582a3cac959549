// pelmora-cli send over TCP/IP: one printer or many, each reported on its own line.
#pragma once

#include <cstdio>

#include "cli_commands.h"
#include "model/stat_data_obj.h"

namespace pelmora::cli {

// Updates the printer at every address of `options` (the --address rows, then those of
// the --address-list file) with `data`'s current image, up to options.jobs at once.
// Prints ADDR<TAB>updated, ADDR<TAB>failed<TAB>REASON or ADDR<TAB>skipped per address
// on `out` in the order given; the program's messages go to `err`. Exit 0 when every
// printer was updated, 1 when any was not, 3 when the user cancelled or a question
// could not be asked, 128 + the signal when SIGINT or SIGTERM ended the run.
int RunSendNetwork(const TransferOptions& options, model::CStatDataObj& data, std::FILE* out,
                   std::FILE* err);

}  // namespace pelmora::cli
