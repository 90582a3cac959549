// Reader of model definition files and saved configurations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "line_reader.h"
#include "stat_data_obj.h"

namespace pelmora::model {

// Reads a `.cfg` file into a CStatDataObj. Keeps the file open and its text in
// memory after a load, since saving copies that text.
class CModelFile {
 public:
  CModelFile() = default;
  ~CModelFile();
  CModelFile(const CModelFile&) = delete;
  CModelFile& operator=(const CModelFile&) = delete;

  // Reads the file at `path` into `model`. Returns kResultOk, kResultException
  // (empty path, or the images could not be built), kResultNoMemory, kResultNoFile
  // (cannot be opened, or not a regular file), kResultBadVersion or kResultFormError,
  // after which GetErrorCode and GetLineNumber say what and where.
  int Load(CStatDataObj& model, const std::string& path);

  std::uint32_t GetErrorCode() const { return errorCode_; }
  // The 1-based line of a form error; for findings at the end of the file, the
  // number of line feeds plus one.
  std::uint32_t GetLineNumber() const { return reader_.LineNumber(); }

  // The text of the last load, ending in a 0xFF byte; kept until Release.
  std::string_view Text() const;
  // Closes the source file kept open after Load.
  void CloseSource();
  // Frees the text, the caution lists and the found-file list, and closes the source.
  void Release();

  // Reads one item line, and the choice list that follows it, into the page whose
  // section code is `page`. Returns 1, kResultNoMemory or kResultFormError.
  int ParseItemLine(std::string_view line, std::uint32_t page);

 private:
  int Parse();
  int ParseSectionLine(std::string_view line);
  int ParseHeaderLine(std::string_view line);
  int ParseDataLine(std::string_view line);
  int ParseChoiceList(CItem& item, bool hasAddress);
  int CheckCompleteness();
  int ReadFile(const std::string& path);

  CStatDataObj* model_ = nullptr;
  int fd_ = -1;
  std::vector<char> buffer_;  // file text plus a closing 0xFF byte
  std::size_t textSize_ = 0;
  CLineReader reader_;

  std::uint32_t section_ = 0;
  std::uint32_t ended_ = 0;
  std::uint32_t keysSeen_ = 0;
  std::uint32_t errorCode_ = 0;
  bool firstLine_ = true;
  std::uint32_t defaultOrder_ = 0;
  std::uint16_t runningAddress_ = 0;
  bool sawSetData_ = false;
  std::vector<std::string> basicCautions_;
  std::vector<std::string> advancedCautions_;
};

}  // namespace pelmora::model
