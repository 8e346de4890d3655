// Loader threads reaching the window side through the Qt listener.
#include "monitor_view/qt_loader_listener.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

// Handles events until `done` or about two seconds have passed.
template <typename Done>
bool processUntil(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

TEST(QtLoaderListenerThreads, ForwardsTextsAndRowsToTheWindowThread) {
  QtLoaderListener listener;
  QObject target;
  QStringList texts;
  std::vector<int> rows;
  const auto windowThread = std::this_thread::get_id();
  bool allOnWindowThread = true;
  listener.setStatusSink([&](const QString& t) {
    allOnWindowThread = allOnWindowThread && std::this_thread::get_id() == windowThread;
    texts << t;
  });
  listener.setRowSink(&target, [&](int index) {
    allOnWindowThread = allOnWindowThread && std::this_thread::get_id() == windowThread;
    rows.push_back(index);
  });
  std::thread loader([&] {
    listener.StatusText(0, "Loading history quote for symbol MSFT ......");
    listener.SecurityUpdated(7);
    listener.SecurityUpdated(8);
  });
  loader.join();
  EXPECT_TRUE(texts.isEmpty());  // nothing runs on the loader thread
  ASSERT_TRUE(processUntil([&] { return rows.size() == 2; }));
  EXPECT_EQ(texts, QStringList{"Loading history quote for symbol MSFT ......"});
  EXPECT_EQ(rows, (std::vector<int>{7, 8}));
  EXPECT_TRUE(allOnWindowThread);
}

TEST(QtLoaderListenerThreads, DropsNoticesOnceClosingOrTheViewIsGone) {
  QtLoaderListener listener;
  int rows = 0;
  int texts = 0;
  auto target = std::make_unique<QObject>();
  listener.setRowSink(target.get(), [&](int) { ++rows; });
  listener.setStatusSink([&](const QString&) { ++texts; });

  std::thread([&] { listener.SecurityUpdated(1); }).join();
  target.reset();  // the view goes before the notice arrives
  QApplication::processEvents();
  EXPECT_EQ(rows, 0);

  auto view = std::make_unique<QObject>();
  listener.setRowSink(view.get(), [&](int) { ++rows; });
  std::thread([&] {
    listener.SecurityUpdated(2);
    listener.StatusText(0, "queued before closing");
  }).join();
  listener.beginShutdown();  // notices already queued are dropped too
  std::thread([&] {
    listener.SecurityUpdated(3);
    listener.StatusText(0, "after");
  }).join();
  QApplication::processEvents();
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(texts, 0);
  EXPECT_TRUE(listener.Closing());
}

TEST(QtLoaderListenerThreads, CredentialsAnsweredOnTheWindowThread) {
  QtLoaderListener listener;
  CredentialRequest request;
  request.server = "127.0.0.1";
  listener.setCredentialAsker([](const CredentialRequest& r, Credentials& out) {
    out.user = "user";
    out.password = "secret@" + r.server;
    return true;
  });
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  bool answered = false;
  Credentials got;
  std::thread loader([&] {
    answered = listener.AskCredentials(request, got, stop);
    finished = true;
  });
  ASSERT_TRUE(processUntil([&] { return finished.load(); }));
  loader.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(got.user, "user");
  EXPECT_EQ(got.password, "secret@127.0.0.1");
}

TEST(QtLoaderListenerThreads, WaitingThreadGivesUpOnStopAndAtShutdown) {
  QtLoaderListener listener;
  int prompts = 0;
  listener.setCredentialAsker([&](const CredentialRequest&, Credentials&) {
    ++prompts;
    return true;
  });
  CredentialRequest request;
  Credentials out;
  // The window thread is busy (it does not handle events): a stop request
  // must still free the waiting thread.
  std::atomic<bool> stop{false};
  std::thread stopped([&] { EXPECT_FALSE(listener.AskCredentials(request, out, stop)); });
  std::this_thread::sleep_for(50ms);
  stop = true;
  stopped.join();

  std::atomic<bool> never{false};
  std::thread closing([&] { EXPECT_FALSE(listener.AskCredentials(request, out, never)); });
  std::this_thread::sleep_for(50ms);
  listener.beginShutdown();  // what the exit sequence does before waiting for the loaders
  closing.join();

  // The abandoned questions are never put to the user.
  QApplication::processEvents();
  EXPECT_EQ(prompts, 0);
  EXPECT_FALSE(listener.AskCredentials(request, out, never));  // declined at once from now on
}

}  // namespace
}  // namespace velmora
