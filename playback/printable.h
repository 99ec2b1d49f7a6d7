#pragma once
// Names as the replay prints them. An application's name or identifier comes from a file anyone
// may have written: a line break, a control character or bytes that are no UTF-8 would break a
// line of the output, a column of the table or the JSON, or hide what the name really is.

#include <string>
#include <string_view>

namespace replay {

// The text with what cannot be shown as itself written as a visible escape: a backslash as "\\",
// control characters (C0, DEL, C1), line and paragraph separators, the byte-order mark and the
// bidirectional overrides as "\uXXXX", and each byte that is no part of well-formed UTF-8 as
// "\xNN". Anything else is left as it is.
std::string printable(std::string_view text);

// A JSON string (quotes included) holding the printable text, so that the JSON stays valid and
// shows what the other outputs show.
std::string jsonString(std::string_view text);

} // namespace replay
