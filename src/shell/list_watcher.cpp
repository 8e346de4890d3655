#include "shell/list_watcher.h"

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
  // A notice on the file starts the wait again, so a file written in several
  // steps is read once, whole. The folder's notices come with every report
  // and history file the loader writes: they count only when the list file
  // itself looks other than before (replaced, grown, touched).
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
    watch();
    settle_->start();
  });
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
    if (stamp() == stamp_) return;
    watch();
    settle_->start();
  });
  watcher_->addPath(QFileInfo(path_).absolutePath());
  watch();
}

QString ListWatcher::stamp() const {
  const QFileInfo info(path_);
  if (!info.exists()) return {};
  return QStringLiteral("%1 %2 %3")
      .arg(info.size())
      .arg(info.lastModified().toMSecsSinceEpoch())
      .arg(info.metadataChangeTime().toMSecsSinceEpoch());
}

void ListWatcher::watch() {
  stamp_ = stamp();
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
