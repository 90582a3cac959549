// What File > Print of the configuration window puts on paper, without a
// printer: the lines of the settings list and where each one goes.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/text_view.h"

namespace pelmora::app {

// A row's value text: a view of text kept elsewhere (the window's value store, or a
// literal), read as a string wherever one is wanted.
class CRowText {
 public:
  CRowText() = default;
  CRowText(const char* text) : text_(text) {}  // NOLINT: literals stand for rows
  explicit CRowText(model::CText text) : text_(text) {}

  std::string_view View() const { return text_.View(); }
  operator std::string_view() const { return View(); }  // NOLINT
  operator std::string() const { return text_.Str(); }  // NOLINT
  friend bool operator==(CRowText a, std::string_view b) { return a.View() == b; }
  template <typename Stream>
  friend auto operator<<(Stream& os, CRowText t) -> decltype(os << std::string_view()) {
    return os << t.View();
  }

 private:
  model::CText text_;
};

// One row of the configuration window's list: item name and value text, both views
// (a page holds thousands of rows). The name is the model's own text, which outlives
// the list; the value is kept by the window (CConfigDlg) until its next fill.
struct CListRow {
  model::CText name;
  CRowText value;
};

// The print job's document name.
inline constexpr const char* kPrintDocumentName = "Printer Setting List";
// Left edge of every printed line, in device units.
inline constexpr int kPrintLeft = 10;

// What is printed: the header texts, the page shown and its rows as listed.
struct CPrintRequest {
  std::string printerName;
  std::string description;
  bool advancedPage = false;
  std::span<const CListRow> rows;
  // The file offered when printing to PDF: the configuration's name with the
  // extension .pdf, in the working folder.
  std::string pdfPath;
};

// One printed line: its top edge in device units and its text.
struct CPrintLine {
  int top = 0;
  std::string text;
};

// The lines of one printout for a character height of `lineHeight` device
// units: the printer name, the description, an empty line, the page name, then
// each row as two blanks, the name, " : " and the value. Line n (from 1) has its
// top at n × lineHeight. Only lines whose top lies above `pageHeight` are
// returned (a negative height keeps all): everything goes onto one sheet and
// what does not fit is cut off.
std::vector<CPrintLine> LayoutSettingList(const CPrintRequest& request, int lineHeight,
                                          int pageHeight = -1);

}  // namespace pelmora::app
