// Escaping of names and values for the tab-separated output of pelmora-cli.
#pragma once

#include <string>
#include <string_view>

namespace pelmora::cli {

// Writes every byte below 0x20, the byte 0x7F and the backslash as `\xHH`
// (upper-case hex) so that a field never holds a tab, a line break or an
// ambiguous backslash; other bytes pass unchanged.
void AppendEscaped(std::string& out, std::string_view text);

}  // namespace pelmora::cli
