#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace velmora::test {

// Path of a program built into the build tree's bin/ folder.
std::string BinPath(const std::string& program);

// A fresh folder under /tmp, removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes a folder the current directory for one scope, then goes back.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir);
  ~ScopedCurrentDir();
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::string previous_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);  // on '\n', CR kept

// A child process with its stdout and stderr captured through pipes.
class ChildProcess {
 public:
  // Starts `argv[0]` (a path) in `workDir` (empty: the current one).
  ChildProcess(const std::vector<std::string>& argv, const std::string& workDir = "");
  ~ChildProcess();  // kills and reaps a process still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The next line of stdout (without '\n'); false on end of output or time-out.
  bool ReadLine(std::string& line, std::chrono::milliseconds timeout);

  void Signal(int signo);
  // Waits for the exit; the status is the exit code, or 128 + signal;
  // -1 on time-out (the process is left running).
  int Wait(std::chrono::milliseconds timeout);
  // Everything still unread on stdout / stderr after the process ended.
  std::string DrainStdout();
  std::string DrainStderr();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outBuffer_;
  int exitStatus_ = -1;
  bool reaped_ = false;
};

// The real quote-standin on a free loopback port, stopped on destruction.
class StandinServer {
 public:
  explicit StandinServer(const std::vector<std::string>& extraArgs = {});
  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  std::string baseUrl() const;  // "http://127.0.0.1:PORT"
  ChildProcess& process() { return process_; }

 private:
  static std::vector<std::string> argvFor(const std::vector<std::string>& extra);
  ChildProcess process_;
  int port_ = 0;
};

// Sets an environment variable for one scope (for this process and the
// programs it starts), then puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  bool hadValue_ = false;
  std::string old_;
};

// A German locale ("de_DE.UTF-8": decimal comma, German day and month
// names) generated once per test process into a temporary folder, so no
// setting of the machine changes: run a program with LOCPATH set to
// `path` and LC_ALL to `name`. `path` is empty when it could not be made.
struct GeneratedLocale {
  std::string path;
  std::string name;
};
const GeneratedLocale& GermanLocale();

}  // namespace velmora::test
