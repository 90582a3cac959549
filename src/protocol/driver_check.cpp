#include "protocol/driver_check.h"

// The headers give the types of the functions looked up below; nothing links to libcups.
#include <cups/cups.h>
#include <cups/http.h>
#include <cups/ipp.h>
#include <dlfcn.h>

#include <memory>
#include <optional>
#include <string_view>

#include "log/ascii.h"
#include "log/dynamic_library.h"

namespace pelmora::protocol {

namespace {

constexpr int kConnectTimeoutMs = 3000;

// The few functions of libcups the check calls, looked up when a check first needs them
// so that the program starts, and runs, on a system without the library.
struct CupsApi {
  decltype(&::cupsServer) server = nullptr;
  decltype(&::cupsEncryption) encryption = nullptr;
  decltype(&::cupsDoRequest) doRequest = nullptr;
  decltype(&::ippPort) port = nullptr;
  decltype(&::httpConnect2) connect = nullptr;
  decltype(&::httpSetTimeout) setTimeout = nullptr;
  decltype(&::httpClose) close = nullptr;
  decltype(&::ippNewRequest) newRequest = nullptr;
  decltype(&::ippAddString) addString = nullptr;
  decltype(&::ippDelete) deleteIpp = nullptr;
  decltype(&::ippGetStatusCode) statusCode = nullptr;
  decltype(&::ippFindAttribute) findAttribute = nullptr;
  decltype(&::ippFindNextAttribute) findNextAttribute = nullptr;
  decltype(&::ippGetString) getString = nullptr;
};

// The library stays loaded once opened: its state (the server chosen, open
// connections' buffers) lives for the process, and unloading it is not safe.
std::optional<CupsApi> LoadCups(const char* libraryName) {
  void* library = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    return std::nullopt;
  CupsApi api;
  const bool complete =
      log::ResolveSymbol(library, "cupsServer", api.server) &&
      log::ResolveSymbol(library, "cupsEncryption", api.encryption) &&
      log::ResolveSymbol(library, "cupsDoRequest", api.doRequest) &&
      log::ResolveSymbol(library, "ippPort", api.port) &&
      log::ResolveSymbol(library, "httpConnect2", api.connect) &&
      log::ResolveSymbol(library, "httpSetTimeout", api.setTimeout) &&
      log::ResolveSymbol(library, "httpClose", api.close) &&
      log::ResolveSymbol(library, "ippNewRequest", api.newRequest) &&
      log::ResolveSymbol(library, "ippAddString", api.addString) &&
      log::ResolveSymbol(library, "ippDelete", api.deleteIpp) &&
      log::ResolveSymbol(library, "ippGetStatusCode", api.statusCode) &&
      log::ResolveSymbol(library, "ippFindAttribute", api.findAttribute) &&
      log::ResolveSymbol(library, "ippFindNextAttribute", api.findNextAttribute) &&
      log::ResolveSymbol(library, "ippGetString", api.getString);
  if (!complete)
    return std::nullopt;
  return api;
}

}  // namespace

bool IsDriverInstalled(const model::CStatDataObj& model, std::chrono::milliseconds replyBound,
                       const char* cupsLibrary) {
  const std::string& driver = model.DriverName();
  if (driver.empty())
    return false;
  const std::optional<CupsApi> cups = LoadCups(cupsLibrary);
  if (!cups)
    return false;

  // A direct request to the configured server: the destination functions of libcups
  // would also wait for printers announced on the network, which can take seconds.
  const auto httpClose = [&cups](http_t* http) { cups->close(http); };
  const std::unique_ptr<http_t, decltype(httpClose)> http(
      cups->connect(cups->server(), cups->port(), nullptr, AF_UNSPEC, cups->encryption(), 1,
                    kConnectTimeoutMs, nullptr),
      httpClose);
  if (!http)
    return false;
  cups->setTimeout(http.get(), std::chrono::duration<double>(replyBound).count(), nullptr, nullptr);

  ipp_t* request = cups->newRequest(IPP_OP_CUPS_GET_PRINTERS);
  if (request == nullptr)
    return false;
  cups->addString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                  "printer-make-and-model");
  // cupsDoRequest frees the request in every case.
  const auto ippDelete = [&cups](ipp_t* ipp) { cups->deleteIpp(ipp); };
  const std::unique_ptr<ipp_t, decltype(ippDelete)> response(
      cups->doRequest(http.get(), request, "/"), ippDelete);
  if (!response || cups->statusCode(response.get()) > IPP_STATUS_OK_CONFLICTING)
    return false;

  for (ipp_attribute_t* attr =
           cups->findAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT);
       attr != nullptr;
       attr = cups->findNextAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT)) {
    const char* makeAndModel = cups->getString(attr, 0, nullptr);
    if (makeAndModel != nullptr && log::EqualsIgnoringCase(makeAndModel, driver))
      return true;
  }
  return false;
}

}  // namespace pelmora::protocol
