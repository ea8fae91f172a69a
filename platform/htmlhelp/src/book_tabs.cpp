#include <QAbstractListModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
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

// The index entries as a flat list: names decoded once, targets kept as the
// book stores them and resolved when chosen. Filled with one reset, so a
// book of thousands of key words costs no item objects and no per-row
// signals.
class IndexModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  void reset(std::vector<QString> names, std::vector<std::string> targets) {
    beginResetModel();
    names_ = std::move(names);
    targets_ = std::move(targets);
    endResetModel();
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return names_[static_cast<std::size_t>(index.row())];
    return {};
  }
  const QString& name(int row) const { return names_[static_cast<std::size_t>(row)]; }
  const std::string& target(int row) const { return targets_[static_cast<std::size_t>(row)]; }

 private:
  std::vector<QString> names_;
  std::vector<std::string> targets_;
};

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
  // One line per entry: the view can place a row without measuring every row
  // above it, which marking the shown topic in a large book otherwise costs.
  contents_->setUniformRowHeights(true);
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
  index_list_ = new QListView;
  index_list_->setUniformItemSizes(true);
  index_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  index_model_ = new IndexModel(index_list_);
  index_list_->setModel(index_model_);
  layout->addWidget(index_edit_);
  layout->addWidget(index_list_);
  connect(index_edit_, &QLineEdit::textEdited, this, [this](const QString& text) { showIndexAt(text); });
  connect(index_edit_, &QLineEdit::returnPressed, this,
          [this] { openIndexEntry(index_list_->currentIndex()); });
  connect(index_list_, &QListView::activated, this, &BookTabs::openIndexEntry);
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
  index_model_->reset({}, {});
  search_results_->clear();
  search_texts_.clear();
  search_texts_built_ = contents_filled_ = index_filled_ = false;
  marked_.clear();
  contents_by_topic_.clear();
  if (!book) return;
  // A large book's tree and index take longer to build than its first topic
  // takes to show: the contents follow right after the topic, unless another
  // tab was asked for first; the index waits until it is first shown.
  QTimer::singleShot(0, this, [this] {
    if (currentIndex() == kContents) fillContents();
  });
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
  std::vector<SitemapEntry> entries = book_->index();
  std::vector<QString> names;
  std::vector<std::string> targets;
  names.reserve(entries.size());
  targets.reserve(entries.size());
  for (SitemapEntry& e : entries) {
    names.push_back(decodeBookText(e.name, code_page));
    targets.push_back(std::move(e.local));
  }
  index_model_->reset(std::move(names), std::move(targets));
}

bool BookTabs::showIndexAt(const QString& keyword) {
  fillIndex();
  setCurrentIndex(kIndex);
  if (index_edit_->text() != keyword) index_edit_->setText(keyword);
  if (keyword.isEmpty()) return false;
  int prefix = -1;
  for (int row = 0; row < index_model_->rowCount(); ++row) {
    const QString& name = index_model_->name(row);
    if (name.compare(keyword, Qt::CaseInsensitive) == 0) {
      prefix = row;
      break;
    }
    if (prefix < 0 && name.startsWith(keyword, Qt::CaseInsensitive)) prefix = row;
  }
  if (prefix < 0) return false;
  const QModelIndex entry = index_model_->index(prefix);
  index_list_->setCurrentIndex(entry);
  index_list_->scrollTo(entry, QAbstractItemView::PositionAtTop);
  return true;
}

QString BookTabs::currentIndexEntry() const {
  const QModelIndex entry = index_list_->currentIndex();
  return entry.isValid() ? index_model_->name(entry.row()) : QString();
}

void BookTabs::openIndexEntry(const QModelIndex& entry) {
  if (!entry.isValid() || entry.model() != index_model_) return;
  const std::string& target = index_model_->target(entry.row());
  if (!target.empty()) emit topicRequested(target);
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
