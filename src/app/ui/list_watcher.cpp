#include "app/ui/list_watcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace velmora {

ListWatcher::ListWatcher(const QString& path, int settleMs, QObject* parent)
    : QObject(parent),
      path_(QFileInfo(path).absoluteFilePath()),
      watcher_(new QFileSystemWatcher(this)),
      settle_(new QTimer(this)) {
  settle_->setSingleShot(true);
  settle_->setInterval(settleMs);
  connect(settle_, &QTimer::timeout, this, &ListWatcher::look);
  // Each notice starts the wait again, so a file written in several steps
  // is read once, whole.
  auto noticed = [this] {
    watch();
    settle_->start();
  };
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, noticed);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, noticed);
  watcher_->addPath(QFileInfo(path_).absolutePath());
  watch();
}

void ListWatcher::watch() {
  // A file replaced by a rename is a new file: watched again.
  if (QFileInfo::exists(path_) && !watcher_->files().contains(path_)) watcher_->addPath(path_);
}

void ListWatcher::look() {
  QFile file(path_);
  // A list taken away, or not readable now, is left as it was loaded.
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray content = file.readAll();
  // Whoever reloads the list sets the content it loaded.
  if (content != loaded_) emit changed();
}

}  // namespace velmora
