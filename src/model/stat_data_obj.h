// One loaded model definition or saved configuration.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data_line.h"
#include "item.h"
#include "memory_image.h"
#include "model_store.h"

namespace pelmora::model {

// Pages of the configuration window, also used to pick a caution list.
enum Page : int { kBasicPage = 0, kAdvancedPage = 1 };

// Holds the header (names, driver, command templates), the items of both pages,
// the factory, saved and mask data lines, the current and mask images, and the
// caution texts. Filled by CModelFile::Load; edited through the value encoding.
class CStatDataObj {
 public:
  static constexpr std::size_t kTemplateMax = 260;

  // Empties every list and clears the header. Returns 1 (0 is kept for callers
  // that check for a memory failure).
  int Reset();
  // Frees everything, as when the configuration is closed.
  void Clear() { Reset(); }

  // Command templates as bytes (at most 260 each).
  void SetWriteTemplate(std::span<const std::uint8_t> bytes) { Assign(cmdLine_, bytes); }
  void SetResetCommand(std::span<const std::uint8_t> bytes) { Assign(rstCmd_, bytes); }
  void SetInitCommand(std::span<const std::uint8_t> bytes) { Assign(initLine_, bytes); }
  void SetReadTemplate(std::span<const std::uint8_t> bytes) { Assign(getCmd_, bytes); }
  // Copy a template into `out` (at least 260 bytes) and return its length; 0 when
  // `out` is null or the model defines none.
  std::uint32_t GetWriteTemplate(std::uint8_t* out) const { return CopyOut(cmdLine_, out); }
  std::uint32_t GetResetCommand(std::uint8_t* out) const { return CopyOut(rstCmd_, out); }
  std::uint32_t GetInitCommand(std::uint8_t* out) const { return CopyOut(initLine_, out); }
  std::uint32_t GetReadTemplate(std::uint8_t* out) const { return CopyOut(getCmd_, out); }
  const std::vector<std::uint8_t>& WriteTemplate() const { return cmdLine_; }
  const std::vector<std::uint8_t>& ResetCommand() const { return rstCmd_; }
  const std::vector<std::uint8_t>& InitCommand() const { return initLine_; }
  const std::vector<std::uint8_t>& ReadTemplate() const { return getCmd_; }

  // Names. The Get... operations return 1 and copy entry `i`, or 0 when `i` is
  // out of range. The getters of driver name and path return 0 and leave `out`
  // alone when the value is empty.
  int GetModelName(int i, std::string& out) const { return GetEntry(modelNames_, i, out); }
  int GetInterface(int i, std::string& out) const { return GetEntry(interfaces_, i, out); }
  void AddModelName(std::string name) { modelNames_.push_back(std::move(name)); }
  void AddInterface(std::string name) { interfaces_.push_back(std::move(name)); }
  const std::vector<std::string>& ModelNames() const { return modelNames_; }
  const std::vector<std::string>& Interfaces() const { return interfaces_; }
  void SetDriverName(std::string name) { driverName_ = std::move(name); }
  int GetDriverName(std::string& out) const;
  void SetFilePath(std::string path) { filePath_ = std::move(path); }
  int GetFilePath(std::string& out) const;
  const std::string& DriverName() const { return driverName_; }
  const std::string& FilePath() const { return filePath_; }

  // Lists.
  std::vector<CItem>& BasicItems() { return basicItems_; }
  std::vector<CItem>& AdvancedItems() { return advancedItems_; }
  const std::vector<CItem>& BasicItems() const { return basicItems_; }
  const std::vector<CItem>& AdvancedItems() const { return advancedItems_; }
  std::vector<CItem>& Items(Page page) { return page == kBasicPage ? basicItems_ : advancedItems_; }
  const std::vector<CItem>& Items(Page page) const {
    return page == kBasicPage ? basicItems_ : advancedItems_;
  }
  std::vector<CDataLine>& DefaultLines() { return defaultLines_; }
  std::vector<CDataLine>& SetLines() { return setLines_; }
  std::vector<CDataLine>& MaskLines() { return maskLines_; }
  const std::vector<CDataLine>& DefaultLines() const { return defaultLines_; }
  const std::vector<CDataLine>& SetLines() const { return setLines_; }
  const std::vector<CDataLine>& MaskLines() const { return maskLines_; }
  const CMemoryImage& CurrentImage() const { return image_; }
  const CMemoryImage& MaskImage() const { return maskImage_; }

  // Address of the first block of the current image, or 0xFFFF when it has none.
  std::uint16_t GetFirstAddress() const;
  // Total byte count of all blocks of the current image.
  std::uint32_t GetImageSize() const;

  // Caution texts, one per item of the page. Returns 1 and copies entry `i`, or
  // sets `out` empty and returns 0 when `i` is out of range.
  int GetCaution(Page page, int i, std::string& out) const;
  void SetCautions(Page page, std::vector<CText> cautions);

  // The store the views of items, choices, data lines and cautions point into;
  // shared with copies of the model, which keeps those views valid in them.
  void AdoptStore(std::shared_ptr<const CModelStore> store) { store_ = std::move(store); }
  // Replaces the set lines by `lines`, whose texts lie in `text`.
  void ReplaceSetLines(std::vector<CDataLine> lines, std::shared_ptr<const std::string> text) {
    setLines_ = std::move(lines);
    setText_ = std::move(text);
  }

  // Rebuild the current image from `lines` / the mask image from the mask lines.
  // Return 1 (0 is kept for a memory failure).
  int BuildImage(std::span<const CDataLine> lines);
  int BuildMaskImage();

  // Byte access, as CMemoryImage::ReadBytes. `image` 0 reads the current image,
  // any other value the mask image.
  enum ImageKind : int { kCurrentImage = 0, kMaskImage = 1 };
  std::uint32_t ReadBytes(std::uint32_t address, std::span<std::uint8_t> out,
                          ImageKind image = kCurrentImage) const;
  // Writes into the current image, as CMemoryImage::WriteBytes.
  int WriteBytes(std::uint32_t address, std::span<const std::uint8_t> in, int mode) {
    return image_.WriteBytes(address, in, mode);
  }

  // Sets the changeable flag of every item from the current and mask images.
  // The flag is only ever set here, never cleared. Returns 1.
  int MarkChangeable();

 private:
  static void Assign(std::vector<std::uint8_t>& to, std::span<const std::uint8_t> bytes);
  static std::uint32_t CopyOut(const std::vector<std::uint8_t>& from, std::uint8_t* out);
  template <typename T>
  static int GetEntry(const std::vector<T>& list, int i, std::string& out);
  bool IsChangeable(const CItem& item) const;

  std::shared_ptr<const CModelStore> store_;
  std::shared_ptr<const std::string> setText_;  // texts of set lines made from the image
  std::vector<std::uint8_t> cmdLine_, rstCmd_, initLine_, getCmd_;
  std::string filePath_;
  std::string driverName_;
  std::vector<std::string> modelNames_;
  std::vector<std::string> interfaces_;
  std::vector<CItem> basicItems_;
  std::vector<CItem> advancedItems_;
  std::vector<CDataLine> defaultLines_;
  std::vector<CDataLine> setLines_;
  CMemoryImage image_;
  std::vector<CDataLine> maskLines_;
  CMemoryImage maskImage_;
  std::vector<CText> basicCautions_;
  std::vector<CText> advancedCautions_;
};

}  // namespace pelmora::model
