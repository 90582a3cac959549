#include "protocol/driver_check.h"

#include <cups/cups.h>
#include <cups/http.h>
#include <cups/ipp.h>

#include <memory>
#include <string_view>

#include "log/ascii.h"

namespace pelmora::protocol {

namespace {

constexpr int kConnectTimeoutMs = 3000;

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
struct IppDelete {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

}  // namespace

bool IsDriverInstalled(const model::CStatDataObj& model, std::chrono::milliseconds replyBound) {
  const std::string& driver = model.DriverName();
  if (driver.empty())
    return false;

  // A direct request to the configured server: the destination functions of libcups
  // would also wait for printers announced on the network, which can take seconds.
  const std::unique_ptr<http_t, HttpClose> http(httpConnect2(cupsServer(), ippPort(), nullptr,
                                                             AF_UNSPEC, cupsEncryption(), 1,
                                                             kConnectTimeoutMs, nullptr));
  if (!http)
    return false;
  httpSetTimeout(http.get(), std::chrono::duration<double>(replyBound).count(), nullptr, nullptr);

  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  if (request == nullptr)
    return false;
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "printer-make-and-model");
  // cupsDoRequest frees the request in every case.
  const std::unique_ptr<ipp_t, IppDelete> response(cupsDoRequest(http.get(), request, "/"));
  if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_CONFLICTING)
    return false;

  for (ipp_attribute_t* attr =
           ippFindAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT);
       attr != nullptr;
       attr = ippFindNextAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT)) {
    const char* makeAndModel = ippGetString(attr, 0, nullptr);
    if (makeAndModel != nullptr && log::EqualsIgnoringCase(makeAndModel, driver))
      return true;
  }
  return false;
}

}  // namespace pelmora::protocol
