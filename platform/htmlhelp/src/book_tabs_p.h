// The viewer's left side: contents, index and full-text search of one book.
#pragma once

#include <QTabWidget>
#include <string>
#include <unordered_map>
#include <vector>

class QLineEdit;
class QListView;
class QListWidget;
class QListWidgetItem;
class QModelIndex;
class QTreeWidget;
class QTreeWidgetItem;

namespace htmlhelp {

class ChmBook;
class IndexModel;

class BookTabs : public QTabWidget {
  Q_OBJECT
 public:
  enum Tab { kContents = 0, kIndex = 1, kSearch = 2 };

  explicit BookTabs(QWidget* parent = nullptr);
  // Fills the tabs from `book` (null empties them). The book must outlive
  // this widget or the next setBook().
  void setBook(const ChmBook* book);

  // Shows the index tab with `keyword` typed in: the exact entry (ignoring
  // case) is selected, else the first entry starting with it. Returns false
  // when no entry matches (the list then stays where it was).
  bool showIndexAt(const QString& keyword);
  // The selected index entry's name, or empty.
  QString currentIndexEntry() const;
  // Runs a search for all `words` in the topics' text; returns the number of
  // topics found.
  int search(const QString& words);
  // Marks the contents entry for `object` when listed.
  void markTopic(const std::string& object);

  QTreeWidget* contentsTree() const { return contents_; }
  QListView* indexList() const { return index_list_; }
  QListWidget* searchResults() const { return search_results_; }

 signals:
  // The user chose an entry naming `target` (as the book stores it).
  void topicRequested(const std::string& target);

 private:
  QWidget* buildContents();
  QWidget* buildIndex();
  QWidget* buildSearch();
  void openIndexEntry(const QModelIndex& entry);
  void buildSearchTexts();
  void fillContents();
  void fillIndex();

  const ChmBook* book_ = nullptr;
  QTreeWidget* contents_ = nullptr;
  QLineEdit* index_edit_ = nullptr;
  QListView* index_list_ = nullptr;
  IndexModel* index_model_ = nullptr;
  QLineEdit* search_edit_ = nullptr;
  QListWidget* search_results_ = nullptr;
  struct TopicText {
    std::string object;
    QString title;
    QString text;  // lower case, tags stripped
  };
  std::vector<TopicText> search_texts_;  // built on the first search
  bool search_texts_built_ = false;
  bool contents_filled_ = false;
  bool index_filled_ = false;
  std::string marked_;  // topic to mark once the contents are filled
  std::unordered_map<std::string, QTreeWidgetItem*> contents_by_topic_;
};

}  // namespace htmlhelp
