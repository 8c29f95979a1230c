#pragma once

#include <QStringList>

namespace kalvendo {

// The language scripts compiled into the program, one line per entry, sections "German",
// "English", "French", "Spanish" and "Italian".
QStringList scriptForm1(); // main window: captions, hints, headers, search fields, messages
QStringList scriptForm2(); // settings dialog
QStringList scriptForm3(); // Internet number search

} // namespace kalvendo
