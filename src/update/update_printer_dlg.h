// The Update Printer / Get Printer Setting dialog without its widgets: the
// connections a model offers, the serial line settings, the TCP/IP target list,
// which controls show for a connection, and the Update button's dispatch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/stat_data_obj.h"
#include "model/user_prompt.h"
#include "port/serial_settings.h"
#include "protocol/driver_check.h"
#include "update/ip_address_list.h"
#include "update/ip_address_list_dlg.h"
#include "update/messages.h"
#include "update/progress_dlg.h"
#include "update/system_info.h"
#include "update/warning_dlg.h"

namespace pelmora::update {

// Connection types, as stored with the entries of the connection list.
enum DialogType : int { kParallel = 0, kSerial = 1, kTcpIp = 2, kUsb = 3 };
// The type when the model offers no usable connection.
inline constexpr int kNoConnection = -1;

enum UpdateMode : int { kModeUpdatePrinter = 1, kModeGetPrinterSetting = 2 };

// Results of the printer operations and the dispatch. kStopped: the operation ended on
// an error it has already reported to the user (a send cut short, a read-back that
// stopped part-way); it is a failure, but the dispatch adds no message of its own.
enum OperationResult : int { kFailed = 0, kFinished = 1, kCancelled = 2, kStopped = 3 };

struct CConnectionEntry {
  std::string text;  // the interface name as the model spells it
  int type;          // a DialogType
};

struct BaudEntry {
  std::string_view text;
  std::uint32_t number;
};
inline constexpr std::array<BaudEntry, 15> kBaudList{{{"110", 110},
                                                      {"300", 300},
                                                      {"600", 600},
                                                      {"1200", 1200},
                                                      {"2400", 2400},
                                                      {"4800", 4800},
                                                      {"9600", 9600},
                                                      {"14400", 14400},
                                                      {"19200", 19200},
                                                      {"38400", 38400},
                                                      {"56000", 56000},
                                                      {"57600", 57600},
                                                      {"115200", 115200},
                                                      {"128000", 128000},
                                                      {"256000", 256000}}};

// The texts are the dialog's own; the rates are the connection's.
constexpr bool BaudListMatchesPort() {
  if (kBaudList.size() != std::size(port::kDialogBaudRates))
    return false;
  for (std::size_t i = 0; i < kBaudList.size(); ++i) {
    if (kBaudList[i].number != port::kDialogBaudRates[i])
      return false;
  }
  return true;
}
static_assert(BaudListMatchesPort());

// The serial radio buttons: the text each shows and the code it stands for.
struct LineChoice {
  const char* text;
  int code;
};
inline constexpr LineChoice kParityChoices[] = {
    {"Off", port::kNoParity}, {"Odd", port::kOddParity}, {"Even", port::kEvenParity}};
inline constexpr LineChoice kLengthChoices[] = {{"8bit", 8}, {"7bit", 7}};
inline constexpr LineChoice kStopChoices[] = {
    {"1-bit", port::kOneStopBit}, {"1.5bit", port::kOne5StopBits}, {"2-bit", port::kTwoStopBits}};

// What the window shows for the current connection. The full size holds the TCP/IP
// controls; every other connection gets the compact size.
struct ControlLayout {
  bool fullSize;
  bool serialShown;
  bool tcpIpShown;

  bool operator==(const ControlLayout&) const = default;
};

// The child dialogs and windows the Update Printer dialog and its operations open.
// The view implements it with real windows; tests with scripts.
class IUpdatePrinterUi : public IWarningUi, public IProgressUi {
 public:
  // Runs the IP Address List dialog on `dlg` (already holding the saved list);
  // returns 1 when a printer was chosen (dlg.ChosenIPAddress()), 2 for Back.
  virtual int RunIPAddressListDlg(CIPAddressListDlg& dlg) = 0;
};

// What the Update Printer dialog asks of the system, replaceable for tests.
struct UpdatePrinterEnvironment {
  int osVersion = GetOSVersion();
  // COM1's default rate; nothing when there is no such port.
  std::function<std::optional<std::uint32_t>()> com1DefaultBaud = [] {
    return QueryDefaultBaudRate("COM1");
  };
  // Whether the model's printer driver is in use by a print queue.
  std::function<bool(const model::CStatDataObj&)> driverInstalled =
      [](const model::CStatDataObj& model) { return protocol::IsDriverInstalled(model); };
};

// The dialog's state and handlers. The view shows what the getters say after each
// handler and reports the user's edits through the setters; the printer operations
// read the line settings, the version code and the rows from here and reach the
// user only through the prompt and `ui`, so they can run without a window.
class CUpdatePrinterDlg {
 public:
  static constexpr const char* kTitle = msg::kUpdatePrinterTitle;
  static constexpr const char* kGetTitle = msg::kGetPrinterSettingTitle;

  // `prompt` shows the message boxes, `ui` the child dialogs; both are borrowed.
  CUpdatePrinterDlg(model::IUserPrompt& prompt, IUpdatePrinterUi& ui,
                    UpdatePrinterEnvironment env = {});
  CUpdatePrinterDlg(const CUpdatePrinterDlg&) = delete;
  CUpdatePrinterDlg& operator=(const CUpdatePrinterDlg&) = delete;

  // Stores the mode (1 Update Printer, 2 Get Printer Setting) and the borrowed
  // model, logs the mode and returns what `runDialog` returns: 1 when the operation
  // finished and the dialog closed, 2 when the user closed it. `runDialog` shows the
  // window, whose initialisation calls OnInitDialog.
  int DoModal(int mode, model::CStatDataObj& model, const std::function<int()>& runDialog);

  // Initialisation: the version code, the controls, then the known-printer list.
  void OnInitDialog();
  // Serial defaults, the connection list with the first entry selected and its
  // layout, and the baud entry of COM1's rate (else the last entry).
  void InitControl();
  // Sets the layout for a connection type and empties the rows of the target view.
  void DispControl(int type);

  // Handlers. Row indices are positions in Rows().
  void OnSelchangeComboPort(int index);
  void OnAdd();
  void OnBrowse();
  void OnRemove(std::span<const int> selectedRows);
  void OnDblclkList(std::span<const int> selectedRows);
  // The Update (Get) button: saves the known-printer list and runs the operation
  // for the selected connection. Returns its result; CloseCode says how the window
  // ends after it.
  int OnUpdate();
  // The two halves of OnUpdate, for a caller that runs the operation away from the
  // window's thread: BeginUpdate saves the known-printer list and returns the
  // connection's text (nothing, and no save, when the list offers no connection);
  // RunOperation runs SendData or GetData by the mode.
  std::optional<std::string> BeginUpdate();
  int RunOperation(std::string_view connection);

  // Run the operation for a connection name (the list's entry text, ignoring case);
  // a result of 0 from a port operation shows "Printer not found...", followed by a
  // line naming the device and the cause when the port could not be opened or set up.
  int SendData(std::string_view connection);
  int GetData(std::string_view connection);

  // How the window ends after the operation gave `result`: 0 it stays open, else the
  // code to close it with. A finished operation closes with 1. A read-back that stopped
  // on an error closes too, keeping what it read: with 1 when it stored bytes, with 2
  // (nothing to refresh) when it stored none. Every other result keeps it open.
  int CloseCode(int result) const;

  // The printer operations; each returns 0 at once for a name that is not its own.
  // Parallel, serial and USB run the send and read-back sequences (parallel driven as
  // the version code says, USB on the first printer found that is of the model) and
  // TCP/IP the network update (its result as RunNetworkUpdate gives it) with a progress
  // window naming each printer.
  int SendDataParallel(std::string_view connection);
  int SendDataSerial(std::string_view connection);
  int SendDataUSB(std::string_view connection);
  int SendDataNetwork(std::string_view connection);
  int GetDataParallel(std::string_view connection);
  int GetDataSerial(std::string_view connection);
  int GetDataUSB(std::string_view connection);

  // Window state for the view.
  int Mode() const { return mode_; }
  const char* Title() const { return mode_ == kModeGetPrinterSetting ? kGetTitle : kTitle; }
  const char* UpdateButtonText() const {
    return mode_ == kModeGetPrinterSetting ? "Get" : "Update";
  }
  const std::vector<CConnectionEntry>& Connections() const { return connections_; }
  int CurrentSelection() const { return selection_; }
  // The selected entry's text, empty when the list is empty.
  std::string ConnectionText() const;
  int GetDialogType() const { return dialogType_; }
  // The operating-system version code, taken from the environment at construction and
  // again by OnInitDialog.
  int OsVersion() const { return osVersion_; }
  ControlLayout Layout() const { return layout_; }

  // Serial controls: an index into kBaudList and the checked radio buttons, with the
  // codes of port::CLineSettings (the dialog offers no, odd and even parity, 8 or 7
  // data bits).
  int BaudIndex() const { return baudIndex_; }
  void SetBaudIndex(int index);
  int Parity() const { return parity_; }
  void SetParity(int parity) { parity_ = parity; }
  int ByteSize() const { return byteSize_; }
  void SetByteSize(int bits) { byteSize_ = bits; }
  int StopBits() const { return stopBits_; }
  void SetStopBits(int code) { stopBits_ = code; }
  port::CLineSettings LineSettings() const;

  // TCP/IP controls: the two edits and the rows of the target view, which the
  // network update sends to.
  const std::string& IPAddressText() const { return ipText_; }
  void SetIPAddressText(std::string text) { ipText_ = std::move(text); }
  const std::string& DescriptionText() const { return descriptionText_; }
  void SetDescriptionText(std::string text) { descriptionText_ = std::move(text); }
  const std::vector<CIPAddressEntry>& Rows() const { return rows_; }

  CIPAddressList& AddressList() { return addressList_; }
  const CIPAddressList& AddressList() const { return addressList_; }
  model::CStatDataObj* Model() const { return model_; }
  model::IUserPrompt& Prompt() const { return prompt_; }
  IUpdatePrinterUi& Ui() const { return ui_; }

 private:
  void RefillRows() { rows_ = addressList_.TargetList(); }
  int TypeAt(int index) const;

  model::IUserPrompt& prompt_;
  IUpdatePrinterUi& ui_;
  UpdatePrinterEnvironment env_;

  std::vector<CConnectionEntry> connections_;
  int selection_ = -1;
  ControlLayout layout_{false, false, false};
  int baudIndex_ = static_cast<int>(kBaudList.size()) - 1;
  int parity_ = port::kNoParity;
  int byteSize_ = 8;
  int stopBits_ = port::kOneStopBit;
  std::string ipText_;
  std::string descriptionText_;
  std::vector<CIPAddressEntry> rows_;

  CIPAddressList addressList_;
  model::CStatDataObj* model_ = nullptr;
  std::size_t storedBytes_ = 0;
  std::string portFailure_;  // why the last port operation found no printer, if known
  int dialogType_ = 0;
  int osVersion_ = env_.osVersion;  // OnInitDialog takes it again
  int mode_ = kModeUpdatePrinter;
};

}  // namespace pelmora::update
