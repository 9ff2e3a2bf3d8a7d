#pragma once
#include <string>
#include <string_view>

// A text that came from the network, made safe for a terminal or a line-based file: control
// characters (C0, DEL and the C1 range), bytes that are not UTF-8 and the backslash itself
// become "\xNN" (the backslash "\\"), so that a device's text can neither move the cursor,
// retitle a terminal nor start a line of its own, and the escaped form stays unambiguous.
// Printable ASCII and well-formed UTF-8 pass unchanged.
std::string printable_text(std::string_view text);
