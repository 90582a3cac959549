#include "cli_network.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli_prompt.h"
#include "cli_signals.h"
#include "cli_update_ui.h"
#include "log/ascii.h"
#include "log/debug_log.h"
#include "log/settings.h"
#include "port/deadline.h"
#include "update/ip_address_list.h"
#include "update/network_update.h"

namespace pelmora::cli {

namespace {

// The questions of the run, on the terminal as for a serial send, except that one that
// cannot be asked (no terminal, no --yes) cancels the whole run rather than one printer.
class CNetworkQuestions final : public model::IUserPrompt, public update::IUpdatePrinterUi {
 public:
  CNetworkQuestions(bool assumeYes, std::FILE* err)
      : prompt_(assumeYes, err),
        ui_(assumeYes, err),
        unanswerable_(!assumeYes && ::isatty(STDIN_FILENO) == 0) {}

  model::Answer Ask(std::string_view title, std::string_view text,
                    model::Buttons buttons) override {
    const model::Answer answer = prompt_.Ask(title, text, buttons);
    if (buttons != model::Buttons::kOk && unanswerable_)
      cancelled_ = true;
    return answer;
  }
  int RunWarningDlg(update::CWarningDlg& dlg) override {
    if (!unanswerable_)
      return ui_.RunWarningDlg(dlg);
    ui_.RunWarningDlg(dlg);  // prints the message, answers No
    cancelled_ = true;
    return dlg.OnCancel();
  }
  std::unique_ptr<update::IProgress> OpenProgress(std::uint32_t upperBound) override {
    return ui_.OpenProgress(upperBound);
  }
  int RunIPAddressListDlg(update::CIPAddressListDlg& dlg) override {
    return ui_.RunIPAddressListDlg(dlg);
  }
  // A question was refused for want of a terminal; no further printer is started.
  bool Cancelled() const { return cancelled_; }

 private:
  CCliPrompt prompt_;
  CCliUpdateUi ui_;
  bool unanswerable_;
  std::atomic<bool> cancelled_ = false;
};

enum class Outcome { kNotRun, kUpdated, kFailed, kSkipped, kCancelAll };

struct Row {
  std::string address;
  Outcome outcome = Outcome::kNotRun;
  std::string reason;
};

// The --address rows, then every row of the list file; false (with a message) when the
// file cannot be read.
bool CollectRows(const TransferOptions& options, std::vector<Row>& rows, std::FILE* err) {
  for (const std::string& address : options.addresses)
    rows.push_back({address, Outcome::kNotRun, {}});
  if (options.addressList.empty())
    return true;
  if (::access(options.addressList.c_str(), R_OK) != 0) {
    std::fprintf(err, "Cannot read %s.\n", options.addressList.c_str());
    return false;
  }
  update::CIPAddressList list(options.addressList);
  list.Load();
  for (const update::CIPAddressEntry& entry : list.SavedList())
    rows.push_back({entry.ipAddress, Outcome::kNotRun, {}});
  return true;
}

bool ModelOffersNetwork(const model::CStatDataObj& data) {
  std::string name;
  for (int i = 0; data.GetInterface(i, name); ++i) {
    if (log::EqualsIgnoringCase(name, update::kTcpIpName))
      return true;
  }
  return false;
}

Outcome OutcomeOf(update::NetworkRowResult result, const update::NetworkRowDetail& detail) {
  switch (result) {
    case update::NetworkRowResult::kUpdated:
      return Outcome::kUpdated;
    case update::NetworkRowResult::kCancelAll:
      return Outcome::kCancelAll;
    case update::NetworkRowResult::kDeclined:
      return Outcome::kSkipped;
    case update::NetworkRowResult::kFailed:
      break;
  }
  return detail.skipped ? Outcome::kSkipped : Outcome::kFailed;
}

// Runs the rows on up to `jobs` threads, each taking the next row not yet started, until
// all have run, the user cancelled or a signal asked to stop.
void RunRows(std::vector<Row>& rows, unsigned jobs, const update::SequenceContext& context,
             const CNetworkQuestions& questions, const port::CNetworkWaits& waits) {
  const log::CDebugLog log(update::kNetworkUpdateScope);
  std::atomic<std::size_t> next = 0;
  std::atomic<bool> cancelled = false;
  const auto work = [&] {
    for (;;) {
      if (cancelled || questions.Cancelled() || port::StopSignal() != 0)
        return;
      const std::size_t i = next++;
      if (i >= rows.size())
        return;
      update::NetworkRowDetail detail;
      const update::NetworkRowResult result =
          update::UpdateNetworkPrinter(log, rows[i].address, context, waits, &detail);
      rows[i].outcome = OutcomeOf(result, detail);
      rows[i].reason = detail.reason;
      if (rows[i].outcome == Outcome::kCancelAll)
        cancelled = true;
    }
  };
  const unsigned threads = std::max(1U, std::min<unsigned>(jobs, rows.size()));
  if (threads == 1) {
    work();
    return;
  }
  std::vector<std::jthread> pool;
  pool.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
}

// Prints the rows' lines and gives the exit status.
int Report(const std::vector<Row>& rows, bool cancelled, std::FILE* out) {
  bool allUpdated = true;
  std::string text;
  for (const Row& row : rows) {
    text += row.address;
    switch (row.outcome) {
      case Outcome::kUpdated:
        text += "\tupdated\n";
        continue;
      case Outcome::kFailed:
        text += "\tfailed\t" + row.reason + "\n";
        break;
      case Outcome::kSkipped:
      case Outcome::kCancelAll:
      case Outcome::kNotRun:
        text += "\tskipped\n";
        break;
    }
    allUpdated = false;
  }
  std::fwrite(text.data(), 1, text.size(), out);
  if (std::fflush(out) != 0)
    return kExitFailed;
  if (cancelled)
    return kExitCancelled;
  return allUpdated ? kExitOk : kExitFailed;
}

}  // namespace

int RunSendNetwork(const TransferOptions& options, model::CStatDataObj& data, std::FILE* out,
                   std::FILE* err) {
  if (!ModelOffersNetwork(data)) {
    std::fprintf(err, "%s offers no %s connection.\n", options.file.c_str(),
                 options.connection.c_str());
    return kExitFailed;
  }
  std::vector<Row> rows;
  if (!CollectRows(options, rows, err))
    return kExitFailed;
  if (rows.empty()) {
    std::fprintf(err, "pelmora-cli: no printer address given (see --help)\n");
    return kExitUsage;
  }

  const log::CSettings settings = log::CSettings::Load();
  if (!settings.Problem().empty())
    std::fprintf(err, "%s\n", settings.Problem().c_str());
  log::EnableLog(settings.LogEnabled());

  CNetworkQuestions questions(options.assumeYes, err);
  const update::SequenceContext context{data, questions, questions, questions};
  port::CNetworkWaits waits;
  waits.deviceIdWaitMs = options.waitMs;

  const CStopSignals stopSignals;
  RunRows(rows, options.jobs, context, questions, waits);
  const bool cancelled =
      questions.Cancelled() || std::any_of(rows.begin(), rows.end(), [](const Row& row) {
        return row.outcome == Outcome::kCancelAll;
      });
  const int status = Report(rows, cancelled, out);
  if (const int signal = port::StopSignal(); signal != 0)
    return 128 + signal;
  return status;
}

}  // namespace pelmora::cli
