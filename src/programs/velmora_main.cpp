// velmora: the desktop program. SIGINT and SIGTERM end it cleanly (the
// windows remembered in Velmora.state, loader threads stopped, temporary
// files deleted, the final log line), as the confirmed Exit command does.
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/app_identity.h"
#include "base/option_table.h"
#include "shell/velmora_app.h"

namespace {

// What the program itself answers; every other argument is Qt's.
enum class Answer { kNone, kHelp, kVersion, kManual };

using velmora::Option;
using velmora::OptionTable;

const Option<Answer> kOptions[] = {
    {.name = "--help",
     .letter = 'h',
     .help = "print this text",
     .manual = "Print a short help text and exit.",
     .set = [](Answer& a, std::string_view, std::string&) { return (a = Answer::kHelp), true; }},
    {.name = "--version",
     .help = "print the program's name and version",
     .manual = "Print the program's name and version and exit.\n"
               ".PP\n"
               "Both work without a display. Every other argument is passed to Qt\n"
               "(for example\n"
               ".BR \"\\-platform offscreen\" ).",
     .set = [](Answer& a, std::string_view, std::string&) { return (a = Answer::kVersion), true; }},
    {.name = velmora::kManualOptionsName,
     .set = [](Answer& a, std::string_view, std::string&) { return (a = Answer::kManual), true; },
     .hidden = true},
};

const OptionTable<Answer> kTable{kOptions};

// The column of the options' descriptions in --help.
constexpr int kHelpColumn = 15;

std::string helpText() {
  return "Usage: velmora [--help] [--version] [Qt options, e.g. -platform NAME]\n"
         "\n"
         "The desktop stock-trend monitor. Reads Config.ini and List.dat in the current\n"
         "folder, loads the securities' history and quotes from the quote services\n"
         "Config.ini names, and shows them in the live quote table, the reports and\n"
         "chart windows. Every data file (Config.ini, List.dat, the reports,\n"
         "\"Trevanta Software.log\", local history files, the alert files) lives in the\n"
         "current folder; the desktop entry runs the program in ~/.local/share/velmora.\n"
         "SIGINT and SIGTERM end it as File > Exit does.\n"
         "\n"
         "Options:\n" +
         velmora::OptionHelp(kTable, kHelpColumn) +
         "\n"
         "Environment:\n"
         "  VELMORA_TIINGO_KEY, VELMORA_FINNHUB_KEY\n"
         "               the market-data providers' keys (they win over the keyring)\n"
         "  VELMORA_SNAPSHOT=FILE.png\n"
         "               save the main window every half second\n"
         "  VELMORA_CANVAS_SNAPSHOT=FILE.ppm\n"
         "               save the monitor's canvas whenever it changes\n";
}

// --help and --version are answered before Qt starts, so they work without a
// display; every other argument is Qt's.
bool answeredWithoutWindows(int argc, char** argv, int& status) {
  Answer answer = Answer::kNone;
  std::string unused;
  for (int i = 1; i < argc && answer == Answer::kNone; ++i)
    if (const Option<Answer>* o = velmora::FindOption(kTable, argv[i])) (void)o->set(answer, {}, unused);
  if (answer == Answer::kNone) return false;
  int written = 0;
  if (answer == Answer::kVersion)
    written = std::printf("velmora %s\n", velmora::kAppVersion);
  else
    written =
        std::fputs((answer == Answer::kHelp ? helpText() : velmora::OptionManual(kTable)).c_str(), stdout);
  status = written < 0 || std::fflush(stdout) != 0 ? 1 : 0;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (int status = 0; answeredWithoutWindows(argc, argv, status)) return status;

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
