// Reading the column types and names from the head of a table text.
#include "table_header.h"

#include <cmath>

namespace {

constexpr int kTokenLength = 20;
constexpr int kMaxColumns = 59;
constexpr char16_t kEndOfData = 26;

// Hands out the tokens of a table text one by one; an empty token means the text has ended.
class TTokens {
 public:
  explicit TTokens(const QString& text) : text_(text) {}

  QString Next() {
    QString token;
    while (position_ < text_.size() && text_[position_] != kEndOfData) {
      const QChar c = text_[position_++];
      if (c == '#') {
        inComment_ = !inComment_;
        if (!token.isEmpty()) return token;
      } else if (IsSeparator(c)) {
        if (!token.isEmpty()) return token;
      } else if (!inComment_ && token.size() < kTokenLength) {
        token += c;  // characters beyond the kept length are read and dropped
      }
    }
    return token;
  }

 private:
  static bool IsSeparator(QChar c) {
    const char16_t code = c.unicode();
    return (code >= 8 && code <= 13) || code == ' ' || code == ',';
  }

  const QString& text_;
  qsizetype position_ = 0;
  bool inComment_ = false;
};

}  // namespace

QList<TTableColumn> ReadTableColumns(const QString& text) {
  TTokens tokens(text);
  tokens.Next();  // the number of objects
  bool isNumber = false;
  const double declared = tokens.Next().toDouble(&isNumber);
  tokens.Next();  // the missing-value token
  if (!isNumber || std::trunc(declared) < 1 || std::trunc(declared) > kMaxColumns) return {};
  const int count = static_cast<int>(std::trunc(declared));

  QList<TTableColumn> columns(count);
  for (int f = 0; f < count; ++f) {
    const QString type = tokens.Next();
    if (type != "1" && !(type.size() >= 4 && type.startsWith("0("))) return {};
    columns[f].Number = f + 1;
    columns[f].Nominal = type != "1";
  }
  for (TTableColumn& column : columns) {
    column.Name = tokens.Next();
    if (column.Name.isEmpty()) return {};
  }
  return columns;
}

bool StartsLikeTable(const QString& text) {
  TTokens tokens(text);
  bool isNumber = false;
  tokens.Next().toDouble(&isNumber);
  return isNumber;
}
