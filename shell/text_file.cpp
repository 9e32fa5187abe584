#include "text_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <stdexcept>

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

}  // namespace

QString LoadTextFile(const QString& name, TTextFormat& format) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) ThrowFileError("Cannot open file", name, file.errorString());
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    ThrowFileError("Cannot open file", name, file.errorString());

  // A leading byte-order mark is kept as a character, so that saving writes it back.
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
  QString text = utf8.decode(bytes);
  format.Latin1 = utf8.hasError();
  if (format.Latin1) text = QString::fromLatin1(bytes);
  format.LineEnd = FirstLineEnd(bytes);

  // The editor knows only "\n" between lines.
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  return text;
}

void SaveTextFile(const QString& name, const QString& text, TTextFormat& format) {
  QString stored = text;
  if (format.LineEnd != "\n") stored.replace('\n', format.LineEnd);
  QByteArray bytes;
  if (format.Latin1) {
    QStringEncoder latin1(QStringConverter::Latin1);
    bytes = latin1.encode(stored);
    // Latin-1 cannot hold this text: UTF-8 keeps every character.
    if (latin1.hasError()) format.Latin1 = false;
  }
  if (!format.Latin1) {
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    bytes = utf8.encode(stored);
  }

  QFile file(name);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    ThrowFileError("Cannot create file", name, file.errorString());
  if (file.write(bytes) != bytes.size() || !file.flush())
    ThrowFileError("Cannot write file", name, file.errorString());
}
