// velmora: the desktop program.
#include <QApplication>

#include "app/lifecycle.h"
#include "app/ui/main_frame.h"
#include "base/system_config.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  velmora::LogStartLine();
  velmora::ReadConfig();

  velmora::CMainFrame frame;
  frame.show();
  const int status = app.exec();

  velmora::FinishProcess();
  return status;
}
