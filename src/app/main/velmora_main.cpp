// velmora: the desktop program. SIGINT and SIGTERM end it cleanly (loader
// threads stopped, temporary files deleted, the final log line), as the
// confirmed Exit command does.
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>

#include "app/ui/velmora_app.h"

int main(int argc, char** argv) {
  // The stop signals are blocked before any thread exists, so every thread
  // inherits the mask and they arrive only through the descriptor below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  const int stopFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);

  // The command line means nothing to the program itself; Qt takes its own
  // options (-platform and the like) from it.
  // The application object's start puts numbers and time names back to
  // "C" before any other thread exists.
  QApplication app(argc, argv);
  int status = 0;
  {
    velmora::CVelmoraApp velmora;
    QSocketNotifier notifier(stopFd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &velmora, [&velmora, stopFd] {
      signalfd_siginfo info;
      while (read(stopFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      }
      velmora.requestShutdown();
    });
    if (stopFd < 0) notifier.setEnabled(false);
    if (!velmora.InitInstance())
      status = 1;
    else if (!velmora.shutdownRequested())  // a stop signal during start-up ends it here
      status = app.exec();
    velmora.ExitInstance();
  }
  if (stopFd >= 0) close(stopFd);
  return status;
}
