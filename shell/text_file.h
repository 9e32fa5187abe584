// Loading a text file into the editor and saving it back with the same bytes.
#pragma once

#include <QByteArray>
#include <QString>

// How a document's text is stored on disk: its encoding and its line end.
struct TTextFormat {
  bool Latin1 = false;     // UTF-8 unless the bytes were not valid UTF-8
  QString LineEnd = "\n";  // "\n", "\r\n" or "\r": the file's first line end
  // A table's bytes that are not text (a NUL byte, or mostly control codes); never a report's.
  bool Binary = false;
  // A table's text holds characters that the editor shows and saves as line ends (the Unicode
  // line and paragraph separators, U+FDD0 and U+FDD1): an edit would split its lines there.
  bool LineBreakCharacters = false;
  // Shown read-only, never written: the file would not keep its bytes.
  bool ReadOnly() const { return Binary || LineBreakCharacters; }
  // A file shown with only its broken bytes as Latin-1 cannot be written back from its text
  // alone: while the text is unchanged, saving writes these bytes.
  QByteArray KeptBytes;
  QString KeptText;
};

// What a file whose bytes are not all valid UTF-8 shows.
enum class TBrokenUtf8 {
  WholeFileAsLatin1,        // a table: every byte one character, so that edits keep the others
  OnlyBrokenBytesAsLatin1,  // a report: names cut inside a character spoil only that character
};

// Reads the whole file; its text with "\n" line ends, and its format in format. Throws
// std::runtime_error "Cannot open file ..." when the file cannot be read.
QString LoadTextFile(const QString& name, TTextFormat& format,
                     TBrokenUtf8 broken = TBrokenUtf8::WholeFileAsLatin1);

// Creates or truncates the file and writes text ("\n" line ends) in the given format. A text that
// Latin-1 cannot hold is written as UTF-8, and format says so afterwards. Throws
// std::runtime_error "Cannot create file ..." when the file cannot be written.
void SaveTextFile(const QString& name, const QString& text, TTextFormat& format);
