#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "book_tabs_p.h"
#include "chm_book.h"
#include "topic_browser_p.h"

namespace htmlhelp {
namespace {

constexpr int kObjectRole = Qt::UserRole;

QString objectData(const std::string& object) { return QString::fromStdString(object); }

// Plain text of a topic for searching: tags, scripts and style blocks
// removed, entities left as written (good enough for word search).
QString plainText(const QString& html) {
  static const QRegularExpression blocks(
      QStringLiteral("<(script|style)[^>]*>.*?</\\1\\s*>"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
  QString text = html;
  text.remove(blocks);
  text.replace(tags, QStringLiteral(" "));
  return text.toLower();
}

QString titleOf(const QString& html, const std::string& object) {
  static const QRegularExpression re(
      QStringLiteral("<title[^>]*>(.*?)</title>"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  auto m = re.match(html);
  QString title = m.hasMatch() ? m.captured(1).simplified() : QString();
  return title.isEmpty() ? QString::fromStdString(object) : title;
}

}  // namespace

BookTabs::BookTabs(QWidget* parent) : QTabWidget(parent) {
  addTab(buildContents(), tr("Contents"));
  addTab(buildIndex(), tr("Index"));
  addTab(buildSearch(), tr("Search"));
  connect(this, &QTabWidget::currentChanged, this, [this](int tab) {
    if (tab == kIndex) fillIndex();
    if (tab == kContents) fillContents();
  });
}

QWidget* BookTabs::buildContents() {
  contents_ = new QTreeWidget;
  contents_->setHeaderHidden(true);
  connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    QString object = item->data(0, kObjectRole).toString();
    if (!object.isEmpty()) emit topicRequested(object.toStdString());
  });
  connect(contents_, &QTreeWidget::itemClicked, contents_, &QTreeWidget::itemActivated);
  return contents_;
}

QWidget* BookTabs::buildIndex() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  index_edit_ = new QLineEdit;
  index_edit_->setPlaceholderText(tr("Type a key word"));
  index_list_ = new QListWidget;
  index_list_->setUniformItemSizes(true);
  layout->addWidget(index_edit_);
  layout->addWidget(index_list_);
  connect(index_edit_, &QLineEdit::textEdited, this, [this](const QString& text) { showIndexAt(text); });
  connect(index_edit_, &QLineEdit::returnPressed, this,
          [this] { openIndexItem(index_list_->currentItem()); });
  connect(index_list_, &QListWidget::itemActivated, this, &BookTabs::openIndexItem);
  return page;
}

QWidget* BookTabs::buildSearch() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  search_edit_ = new QLineEdit;
  search_edit_->setPlaceholderText(tr("Words to find"));
  auto* button = new QPushButton(tr("Search"));
  search_results_ = new QListWidget;
  layout->addWidget(search_edit_);
  layout->addWidget(button);
  layout->addWidget(search_results_);
  auto run = [this] { search(search_edit_->text()); };
  connect(search_edit_, &QLineEdit::returnPressed, this, run);
  connect(button, &QPushButton::clicked, this, run);
  connect(search_results_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    emit topicRequested(item->data(kObjectRole).toString().toStdString());
  });
  return page;
}

void BookTabs::setBook(const ChmBook* book) {
  book_ = book;
  contents_->clear();
  index_list_->clear();
  search_results_->clear();
  search_texts_.clear();
  search_texts_built_ = contents_filled_ = index_filled_ = false;
  marked_.clear();
  contents_by_topic_.clear();
  if (!book) return;
  // A large book's tree and index take longer to build than its first topic
  // takes to show: the contents follow right after the topic, the index
  // when it is first shown.
  QTimer::singleShot(0, this, &BookTabs::fillContents);
}

void BookTabs::fillContents() {
  if (!book_ || contents_filled_) return;
  contents_filled_ = true;
  const int code_page = book_->codePage();
  // Entries arrive flat with a level; a stack of the last item per level
  // rebuilds the tree. A level that jumps by more than one hangs under the
  // deepest open item.
  std::vector<QTreeWidgetItem*> parents;
  for (const SitemapEntry& e : book_->contents()) {
    while (parents.size() > static_cast<std::size_t>(e.level)) parents.pop_back();
    auto* item = parents.empty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
    item->setText(0, decodeBookText(e.name, code_page));
    std::string object = book_->resolveTarget(e.local);
    item->setData(0, kObjectRole, objectData(object));
    if (!object.empty()) contents_by_topic_.emplace(std::move(object), item);
    parents.push_back(item);
  }
  contents_->expandAll();
  if (!marked_.empty()) markTopic(marked_);
}

void BookTabs::fillIndex() {
  if (!book_ || index_filled_) return;
  index_filled_ = true;
  const int code_page = book_->codePage();
  for (const SitemapEntry& e : book_->index()) {
    auto* item = new QListWidgetItem(decodeBookText(e.name, code_page));
    item->setData(kObjectRole, objectData(e.local));  // resolved when chosen
    index_list_->addItem(item);
  }
}

bool BookTabs::showIndexAt(const QString& keyword) {
  fillIndex();
  setCurrentIndex(kIndex);
  if (index_edit_->text() != keyword) index_edit_->setText(keyword);
  if (keyword.isEmpty()) return false;
  QListWidgetItem* prefix = nullptr;
  for (int row = 0; row < index_list_->count(); ++row) {
    QListWidgetItem* item = index_list_->item(row);
    if (item->text().compare(keyword, Qt::CaseInsensitive) == 0) {
      prefix = item;
      break;
    }
    if (!prefix && item->text().startsWith(keyword, Qt::CaseInsensitive)) prefix = item;
  }
  if (!prefix) return false;
  index_list_->setCurrentItem(prefix);
  index_list_->scrollToItem(prefix, QAbstractItemView::PositionAtTop);
  return true;
}

QString BookTabs::currentIndexEntry() const {
  QListWidgetItem* item = index_list_->currentItem();
  return item ? item->text() : QString();
}

void BookTabs::openIndexItem(QListWidgetItem* item) {
  if (!item) return;
  QString object = item->data(kObjectRole).toString();
  if (!object.isEmpty()) emit topicRequested(object.toStdString());
}

void BookTabs::buildSearchTexts() {
  search_texts_built_ = true;
  if (!book_) return;
  for (const std::string& object : book_->topics()) {
    std::optional<std::string> bytes = book_->file().read(object);
    if (!bytes) continue;
    QString html = decodeBookText(*bytes, book_->codePage());
    search_texts_.push_back({object, titleOf(html, object), plainText(html)});
  }
}

int BookTabs::search(const QString& words) {
  setCurrentIndex(kSearch);
  if (search_edit_->text() != words) search_edit_->setText(words);
  search_results_->clear();
  const QStringList terms =
      words.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  if (terms.isEmpty()) return 0;
  if (!search_texts_built_) buildSearchTexts();
  for (const TopicText& t : search_texts_) {
    bool all = std::all_of(terms.begin(), terms.end(), [&](const QString& w) { return t.text.contains(w); });
    if (!all) continue;
    auto* item = new QListWidgetItem(t.title, search_results_);
    item->setData(kObjectRole, objectData(t.object));
  }
  return search_results_->count();
}

void BookTabs::markTopic(const std::string& object) {
  marked_ = object;
  auto it = contents_by_topic_.find(object);
  if (it != contents_by_topic_.end()) contents_->setCurrentItem(it->second);
}

}  // namespace htmlhelp
