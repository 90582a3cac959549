// The emulated /dev and /sys in which the simulated USB (and other) printers appear: one
// umockdev test bed, owned for the life of the object. umockdev allows one per process.
//
// Code that opens the emulated devices runs with LD_PRELOAD=libumockdev-preload.so.0:
// a test process in-process, or a child started with StartDeviceCommand().
#pragma once

#include <umockdev.h>

#include <string>

namespace pelmora::sim {

class CDeviceBed {
 public:
  CDeviceBed() : bed_(umockdev_testbed_new()) {}
  ~CDeviceBed() { g_object_unref(bed_); }
  CDeviceBed(const CDeviceBed&) = delete;
  CDeviceBed& operator=(const CDeviceBed&) = delete;

  UMockdevTestbed* Get() const { return bed_; }

  // The folder holding the emulated /sys and /dev, as UMOCKDEV_DIR names it.
  std::string RootDir() const {
    gchar* dir = umockdev_testbed_get_root_dir(bed_);
    std::string root = dir != nullptr ? dir : "";
    g_free(dir);
    return root;
  }

  // Adds devices from umockdev's record text ("P: ...", "N: ...", "E: ...", "A: ...",
  // "H: ..." lines, a blank line between devices); unlike adding them by attributes,
  // this creates their /dev nodes. False with `error` when umockdev refuses the text.
  bool AddFromString(const std::string& records, std::string& error) {
    GError* failure = nullptr;
    if (umockdev_testbed_add_from_string(bed_, records.c_str(), &failure) != 0)
      return true;
    error = failure != nullptr ? failure->message : "umockdev refused the device records";
    g_clear_error(&failure);
    return false;
  }

 private:
  UMockdevTestbed* bed_;
};

}  // namespace pelmora::sim
