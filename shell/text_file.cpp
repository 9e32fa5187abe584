// Text files for the editor: how their bytes decode, their line ends, and saving them back.
#include "text_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "tarvo/atomic_file.h"
#include "tarvo/utf8.h"

namespace {

[[noreturn]] void ThrowFileError(const char* what, const QString& name, const QString& reason) {
  QString message = QString("%1 %2").arg(QString::fromLatin1(what), name);
  if (!reason.isEmpty()) message += QString(".\n%1").arg(reason);
  throw std::runtime_error(message.toStdString());
}

// The first line end of the bytes decides the style of the whole file.
QString FirstLineEnd(const QByteArray& bytes) {
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') return "\n";
    if (bytes[i] == '\r') return i + 1 < bytes.size() && bytes[i + 1] == '\n' ? "\r\n" : "\r";
  }
  return "\n";
}

// Text holds no NUL byte and few control codes besides tab, the line ends, form feed and the
// end-of-data mark (26).
bool LooksBinary(const QByteArray& bytes) {
  qsizetype controls = 0;
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code == 0) return true;
    if (code < 32 && code != '\t' && code != '\n' && code != '\r' && code != '\f' && code != 26)
      ++controls;
  }
  return controls * 20 > bytes.size();
}

// Valid UTF-8 as UTF-8, and every byte that is not part of a valid sequence as Latin-1.
QString DecodeBrokenBytesAsLatin1(const QByteArray& bytes) {
  QString text;
  qsizetype validFrom = 0;
  qsizetype i = 0;
  const auto takeValid = [&] {
    text += QString::fromUtf8(bytes.constData() + validFrom, i - validFrom);
  };
  while (i < bytes.size()) {
    const auto length = static_cast<qsizetype>(tarvo::Utf8SequenceLength(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
        static_cast<size_t>(i)));
    if (length > 0) {
      i += length;
      continue;
    }
    takeValid();
    text += QChar(static_cast<unsigned char>(bytes[i]));
    validFrom = ++i;
  }
  takeValid();
  return text;
}

}  // namespace

QString LoadTextFile(const QString& name, TTextFormat& format, TBrokenUtf8 broken) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) ThrowFileError("Cannot open file", name, file.errorString());
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    ThrowFileError("Cannot open file", name, file.errorString());

  // A leading byte-order mark is kept as a character, so that saving writes it back. Stateless:
  // a sequence cut off by the file's end is an error, not a character held back for more bytes.
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                  QStringConverter::Flag::Stateless);
  QString text = utf8.decode(bytes);
  format.Latin1 = utf8.hasError();
  format.KeptBytes.clear();
  format.KeptText.clear();
  const bool keepBytes = format.Latin1 && broken == TBrokenUtf8::OnlyBrokenBytesAsLatin1;
  if (keepBytes) {
    format.Latin1 = false;
    text = DecodeBrokenBytesAsLatin1(bytes);
  } else if (format.Latin1) {
    text = QString::fromLatin1(bytes);
  }
  format.LineEnd = FirstLineEnd(bytes);
  // A report is written back from the bytes it was read from, whatever they are.
  format.Binary = broken == TBrokenUtf8::WholeFileAsLatin1 && LooksBinary(bytes);
  format.LineBreakCharacters =
      broken == TBrokenUtf8::WholeFileAsLatin1 && !format.Binary &&
      (text.contains(QChar::LineSeparator) || text.contains(QChar::ParagraphSeparator) ||
       text.contains(QChar(0xFDD0)) || text.contains(QChar(0xFDD1)));

  // The editor knows only "\n" between lines.
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  if (keepBytes) {
    format.KeptBytes = bytes;
    format.KeptText = text;
  }
  return text;
}

namespace {

// The text's bytes in its format: Latin-1 when it came so and still fits, else UTF-8.
QByteArray EncodeText(const QString& text, TTextFormat& format) {
  QString stored = text;
  if (format.LineEnd != "\n") stored.replace('\n', format.LineEnd);
  if (format.Latin1) {
    QStringEncoder latin1(QStringConverter::Latin1);
    const QByteArray bytes = latin1.encode(stored);
    if (!latin1.hasError()) return bytes;
    // Latin-1 cannot hold this text: UTF-8 keeps every character.
    format.Latin1 = false;
  }
  QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
  return utf8.encode(stored);
}

}  // namespace

void SaveTextFile(const QString& name, const QString& text, TTextFormat& format) {
  QByteArray bytes;
  if (!format.KeptBytes.isEmpty() && text == format.KeptText) {
    bytes = format.KeptBytes;
  } else {
    // Once edited, such a text is written as UTF-8 like any new text.
    format.KeptBytes.clear();
    format.KeptText.clear();
    bytes = EncodeText(text, format);
  }

  // Written beside the file and put in its place once whole: a full disk or a failed write leaves
  // the file on disk as it was. Its permissions stay; a link or a device is written through.
  tarvo::AtomicFile file;
  if (!file.Open(QFile::encodeName(name).toStdString()))
    ThrowFileError("Cannot create file", name, QString::fromLocal8Bit(std::strerror(errno)));
  const int error =
      file.WriteAndCommit(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (error != 0)
    ThrowFileError("Cannot write file", name, QString::fromLocal8Bit(std::strerror(error)));
}
