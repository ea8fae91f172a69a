#include <QStringDecoder>
#include <QTextDocument>

#include "chm_book.h"
#include "topic_browser_p.h"

namespace htmlhelp {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; used when Qt was
// built without the converters for Windows code pages.
QString decode1252(std::string_view bytes) {
  static const char16_t kHigh[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                     0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  // Written in place: appending character by character costs a capacity
  // check per byte, on every topic shown and every index entry.
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* to = out.data();
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    *to++ = c >= 0x80 && c < 0xA0 ? QChar(kHigh[c - 0x80]) : QChar(c);
  }
  return out;
}

}  // namespace

// A byte scan, not a regular expression over a decoded copy: it runs for
// every topic shown, and costs a few microseconds this way.
QByteArray declaredCharset(const QByteArray& html) {
  const QByteArray head = html.left(2048).toLower();
  auto isNameChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == ':' || c == '-';
  };
  for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
    qsizetype end = head.indexOf('>', meta);
    if (end < 0) end = head.size();
    qsizetype at = head.indexOf("charset", meta);
    if (at < 0 || at > end) continue;
    at += 7;
    while (at < end && (head[at] == ' ' || head[at] == '\t')) ++at;
    if (at >= end || head[at] != '=') continue;
    ++at;
    while (at < end && (head[at] == ' ' || head[at] == '\t' || head[at] == '"' || head[at] == '\'')) ++at;
    qsizetype stop = at;
    while (stop < end && isNameChar(head[stop])) ++stop;
    if (stop > at) return head.mid(at, stop - at);
  }
  return {};
}

QUrl topicUrl(const std::string& object_name) {
  QUrl url;
  url.setScheme(QString::fromLatin1(kBookScheme));
  url.setPath(QString::fromUtf8(object_name.data(), static_cast<qsizetype>(object_name.size())));
  return url;
}

QString decodeBookText(std::string_view bytes, int code_page) {
  // Opening a converter costs far more than decoding a name, and the index
  // decodes thousands: keep the last one (GUI thread only, like all of this).
  static int decoder_page = -1;
  static QStringDecoder decoder;
  if (decoder_page != code_page) {
    decoder = QStringDecoder(QByteArray("windows-") + QByteArray::number(code_page));
    decoder_page = code_page;
  }
  if (decoder.isValid()) {
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    decoder.resetState();
    return text;
  }
  if (code_page == 1252) return decode1252(bytes);
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

TopicBrowser::TopicBrowser(QWidget* parent) : QTextBrowser(parent) {
  // Links are routed by the viewer window (anchorClicked); Qt must not follow
  // http:/javascript: links or load their resources on its own.
  setOpenLinks(false);
  setOpenExternalLinks(false);
}

QVariant TopicBrowser::loadResource(int type, const QUrl& name) {
  if (book_ == nullptr || name.scheme() != QLatin1String(kBookScheme)) return {};
  std::string object = name.path().toStdString();
  std::optional<std::string> bytes = book_->file().read(object);
  if (!bytes) return {};
  QByteArray data(bytes->data(), static_cast<qsizetype>(bytes->size()));
  if (type != QTextDocument::HtmlResource) return data;
  // With a declared charset Qt decodes the raw bytes itself; without one it
  // would assume UTF-8, so decode from the book's code page here.
  QByteArray charset = declaredCharset(data);
  if (!charset.isEmpty() && QStringDecoder(charset.constData()).isValid()) return data;
  return decodeBookText(*bytes, book_->codePage());
}

}  // namespace htmlhelp
