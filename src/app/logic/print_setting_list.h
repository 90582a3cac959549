// What File > Print of the configuration window puts on paper, without a
// printer: the lines of the settings list and where each one goes.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/text_view.h"

namespace pelmora::app {

// One row of the configuration window's list: item name and value text. The name
// is a view of the model's own text, which outlives the list (a page holds
// thousands of rows).
struct CListRow {
  model::CText name;
  std::string value;
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
