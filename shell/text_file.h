// Loading a text file into the editor and saving it back with the same bytes.
#pragma once

#include <QString>

// How a document's text is stored on disk: its encoding and its line end.
struct TTextFormat {
  bool Latin1 = false;     // UTF-8 unless the bytes were not valid UTF-8
  QString LineEnd = "\n";  // "\n", "\r\n" or "\r": the file's first line end
};

// Reads the whole file; its text with "\n" line ends, and its format in format. Throws
// std::runtime_error "Cannot open file ..." when the file cannot be read.
QString LoadTextFile(const QString& name, TTextFormat& format);

// Creates or truncates the file and writes text ("\n" line ends) in the given format. A text that
// Latin-1 cannot hold is written as UTF-8, and format says so afterwards. Throws
// std::runtime_error "Cannot create file ..." when the file cannot be written.
void SaveTextFile(const QString& name, const QString& text, TTextFormat& format);
