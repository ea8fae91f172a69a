// The pane that shows a topic. Every resource (topic, image, style sheet)
// comes from inside the book; nothing is fetched from the network or the
// local disk, and links are never followed by Qt itself.
#pragma once

#include <QTextBrowser>
#include <QUrl>

namespace htmlhelp {

class ChmBook;

// Topics live under this scheme: "chm:/folder/topic.htm#part".
inline constexpr char kBookScheme[] = "chm";

QUrl topicUrl(const std::string& object_name);

// Decodes 8-bit text of a book (names in contents and index, topics without
// a charset) from the book's Windows code page. GUI thread only.
QString decodeBookText(std::string_view bytes, int code_page);

// The charset a topic declares in a <meta> tag within its first 2 KiB
// (charset=... or an http-equiv content with "; charset=..."), in lower
// case; empty when it declares none.
QByteArray declaredCharset(const QByteArray& html);

class TopicBrowser : public QTextBrowser {
  Q_OBJECT
 public:
  explicit TopicBrowser(QWidget* parent = nullptr);
  // The book resources come from; may be null (nothing is then loaded).
  void setBook(const ChmBook* book) { book_ = book; }

  QVariant loadResource(int type, const QUrl& name) override;

 private:
  const ChmBook* book_ = nullptr;
};

}  // namespace htmlhelp
