#pragma once

#include <string>
#include <string_view>

namespace cli {

/// A file name fit to print on a terminal: unchanged unless it holds a control character, else quoted as `ls` does,
/// as $'...' with C escapes (\n, \033 and so on), so that no escape sequence or line break in a name reaches the
/// terminal and the name can be pasted back into a shell.
[[nodiscard]] std::string quotedName(std::string_view name);

} // namespace cli
