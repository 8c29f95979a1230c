#pragma once

#include <QString>

namespace kalvendo {

// A number as it may be shown, logged and stored: control and format
// characters (line breaks, NUL, escape sequences, bidirectional overrides)
// removed, outer blanks trimmed. Numbers from the network pass through here
// before they reach the status bar, ab.ini or the call log.
QString sanitizeNumberText(const QString& text);

} // namespace kalvendo
