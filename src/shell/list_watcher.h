#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace velmora {

// Watches the list file for changes made while the program runs (in the
// editor Config > Stock List opens, or by any other program) and tells once
// the file has settled with a content other than the one last loaded. An
// editor that saves by replacing the file is followed through the folder.
class ListWatcher : public QObject {
  Q_OBJECT
 public:
  // `settleMs`: how long the file must stay unchanged before it is read.
  explicit ListWatcher(const QString& path, int settleMs = 300, QObject* parent = nullptr);

  // The content now loaded (after the program read or wrote the file).
  void setLoadedContent(const QByteArray& content) { loaded_ = content; }
  const QByteArray& loadedContent() const { return loaded_; }

 signals:
  // The file holds a content other than the loaded one.
  void changed();

 private:
  void look();
  void watch();
  // The list file's size and times, empty when it is missing.
  QString stamp() const;

  QString path_;
  QByteArray loaded_;
  QString stamp_;
  QFileSystemWatcher* watcher_;
  QTimer* settle_;
};

}  // namespace velmora
