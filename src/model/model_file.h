// Reader of model definition files and saved configurations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "choice_list_table.h"
#include "line_reader.h"
#include "stat_data_obj.h"
#include "user_prompt.h"

namespace pelmora::model {

namespace detail {
class CAttributeSplitter;
}

// One row of a folder listing.
struct CFileInfo {
  std::string fileName;     // name within the folder, with its extension
  std::string printerName;  // the header's PrinterName
  std::string description;  // Description of [Option]
};

// Reads a `.cfg` file into a CStatDataObj. Keeps the file open and its text in
// memory after a load, since saving copies that text.
class CModelFile {
 public:
  // Larger files are refused as a memory failure rather than read whole: a valid
  // definition file stays far below this (65,535 lines of at most 1,024 characters).
  static constexpr std::size_t kMaxFileSize = std::size_t{128} << 20;

  CModelFile();
  ~CModelFile();
  CModelFile(const CModelFile&) = delete;
  CModelFile& operator=(const CModelFile&) = delete;

  // Reads the file at `path` into `model`. Returns kResultOk, kResultException
  // (empty path, or the images could not be built), kResultNoMemory, kResultNoFile
  // (cannot be opened, or not a regular file), kResultBadVersion or kResultFormError,
  // after which GetErrorCode and GetLineNumber say what and where.
  int Load(CStatDataObj& model, const std::string& path);
  // Reads `text`, the whole contents of a file, into `model` as Load reads a file,
  // with the same results; no file is opened or kept open. `path` is recorded as
  // the model's file, which a later save replaces.
  int LoadText(CStatDataObj& model, std::string_view text, const std::string& path);

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

  // Folder listings of `<base>/model/` and `<base>/setting/`, sorted by printer name
  // and by file name. Return kResultOk, kResultNoMemory, kResultNoFile (no `.cfg`
  // file), kResultOpenFailed or kResultFormError (a file lacks a well-formed
  // PrinterName or Description: error code 1, 2 or 3, with CurrentFileName and
  // the line). `owner` is told when memory runs out during the search. Entries
  // that are no regular file (folders, FIFOs, devices, dangling links) and files
  // over kMaxFileSize, which no load would take, are passed over; a file is read
  // a window at a time and only until both texts are found.
  int ListModels(IUserPrompt& owner, std::vector<CFileInfo>& rows, const std::string& base);
  int ListSettings(IUserPrompt& owner, std::vector<CFileInfo>& rows, const std::string& base);
  // Reads PrinterName and Description of a file's `text` as the listing reads
  // each file (a 0xFF byte, or the end of `text`, ends the text). Returns
  // kResultOk or kResultFormError (error code 1, 2 or 3, with the line). Only
  // the header and [Option] are looked at, and a line longer than 64 KiB is
  // judged by its first 64 KiB.
  int ReadListing(std::string_view text, CFileInfo& row);
  // The file being read, for messages; "Unidentified" when there is none.
  std::string CurrentFileName() const;

  // Saving. RefreshSetData rewrites the set lines from the current image;
  // WriteSettingCopy returns the source text with the description and the set
  // lines put in. SaveSetting saves under a new name in `<base>/setting/` (asking
  // before it replaces a file of that name, compared ignoring case);
  // OverwriteSetting replaces it. Both return 1 when the file was written, else 0
  // after telling `owner` why; a failed save leaves any previous file as it was.
  // Of two saves under one new name at once (also in other processes, and in
  // names differing only in case) one wins and the other is told "The same file
  // already exists.". Each save first removes the temporary files that killed
  // saves left in the folder.
  void RefreshSetData();
  std::string WriteSettingCopy(std::string_view description) const;
  int SaveSetting(IUserPrompt& owner, const std::string& base, const std::string& name,
                  std::string_view description);
  int OverwriteSetting(IUserPrompt& owner, const std::string& base, const std::string& name,
                       std::string_view description);

  // Reads one item line, and the choice list that follows it, into the page whose
  // section code is `page`. Returns 1, kResultNoMemory or kResultFormError.
  int ParseItemLine(std::string_view line, std::uint32_t page);

 private:
  // Gives the next bytes of a file's text: fills up to `size` bytes at `into`
  // and returns how many, 0 at the end, -1 when reading failed.
  using ListingSource = std::function<long(char* into, std::size_t size)>;
  int ScanListing(const ListingSource& source, CFileInfo& row);
  int Parse();
  int ParseSectionLine(std::string_view line);
  int ParseHeaderLine(std::string_view line);
  int ParseDataLine(std::string_view line);
  // Reads a choice list; `first` and `count` receive where it stands in the store's
  // choices, which may be an earlier equal list.
  int ParseChoiceList(const CItem& item, bool hasAddress, std::uint32_t& first,
                      std::uint32_t& count);
  // Points the items' choice lists and the choices' set lists into the store once
  // it has stopped growing, and hands the store to the model.
  void FinishStore();
  int CheckCompleteness();
  int ReadFile(const std::string& path);
  int TakeText(std::string_view text);
  // What Load and LoadText share: `text` null reads the file at `path`.
  int LoadSource(CStatDataObj& model, const std::string& path, const std::string_view* text);
  int List(IUserPrompt& owner, std::vector<CFileInfo>& rows, const std::string& folder,
           bool byPrinter);
  int WriteSetting(IUserPrompt& owner, const std::string& folder, const std::string& name,
                   bool replace, std::string_view description);

  CStatDataObj* model_ = nullptr;
  int fd_ = -1;
  // The file text plus a closing 0xFF byte, and what the model keeps of it.
  std::shared_ptr<CModelStore> store_;
  std::vector<char> listingBuffer_;
  std::size_t textSize_ = 0;
  CLineReader reader_;

  std::uint32_t section_ = 0;
  std::uint32_t ended_ = 0;
  std::uint32_t keysSeen_ = 0;
  std::uint32_t errorCode_ = 0;
  bool firstLine_ = true;
  std::uint32_t defaultOrder_ = 0;
  std::uint16_t runningAddress_ = 0;
  // Address and length of each [SetData] line as the file had them, so that a
  // save knows whether it can rewrite those lines in place.
  std::vector<std::pair<std::uint16_t, std::uint16_t>> fileSetLayout_;
  std::vector<CText> basicCautions_;
  std::vector<CText> advancedCautions_;
  // Choice lists read during the parse, by page and item index, as indices into
  // the store's choices.
  struct CPendingList {
    bool basic = false;
    std::uint32_t item = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };
  std::vector<CPendingList> pendingLists_;
  CChoiceListTable listTable_;
  std::string currentFile_;
  // Working buffers kept between lines so that parsing a line allocates nothing.
  // The attribute splitters belong to the readers alone, so they are defined
  // with them and made once per reader; the references name them for the parse.
  struct CSplitters;
  std::unique_ptr<CSplitters> splitters_;
  detail::CAttributeSplitter& itemSplitter_;
  detail::CAttributeSplitter& choiceSplitter_;
  std::vector<std::string_view> pieces_;
  std::string nameScratch_;
  std::string quotedScratch_;
};

// Reads the name of a section line (`[Name]`, blanks allowed before the `]`).
// False when the line is malformed.
bool ParseSectionName(std::string_view line, std::string& name);
// The section code for a section name (ignoring case), or 0 for any other name.
std::uint32_t SectionCode(std::string_view name);
// What a section line does to the reader's current section and its set of
// ended sections (section codes shifted right by 4): a known name becomes the
// current section, `[End]` ends the current one but leaves it current, and any
// other name changes nothing. False, with nothing changed, when the line is
// malformed. Everything that walks a file by sections goes through this, so
// they all agree with the reader on which section a line belongs to.
bool ApplySectionLine(std::string_view line, std::uint32_t& section, std::uint32_t& ended);

// The entry of `folder` whose name equals `name` ignoring case (the exact name
// when there is one), or an empty string.
std::string FindNameIgnoringCase(const std::string& folder, const std::string& name);

// The messages the start dialog shows, in order, for a listing result.
std::vector<std::string> ListResultMessages(int result, const CModelFile& file);

}  // namespace pelmora::model
