#pragma once
// Text from an input file made safe to show on a terminal: control characters,
// bytes that are not UTF-8 and the C1 controls are written as \xHH, so that a
// damaged or binary file cannot move the cursor, clear the screen or retitle
// the window through an error message.
#include <QString>
#include <QStringView>

#include <cstddef>
#include <string>
#include <string_view>

// `text` cut after `limit` bytes (then "..." follows), escaped and in quotes.
std::string quotedText(std::string_view text, size_t limit = 40);

// `text` escaped, without quotes or a limit.
std::string printableText(std::string_view text);

// Text from outside (a file, a device, a bus client) made safe for one line of
// the status line, stdout, stderr or the journal: control characters (also the
// C1 ones such as next-line), the line and paragraph separators and the
// bidirectional embeddings, overrides and isolates are written as \xHH or
// \uHHHH, so that such a text can neither start a line of its own, move the
// cursor nor turn the text around it. Text without them comes back unchanged.
QString printableLine(QStringView text);
