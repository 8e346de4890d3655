#pragma once

// Shared by the fuzz targets: a private working folder (temporary files and
// the log land there, removed at exit) and input helpers.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "quotes/plausible_number.h"

namespace velmora::fuzz {

// Under $TMPDIR (else /tmp). The folder's name lives in a plain array: the
// exit handler that removes the folder may run after static objects are gone.
inline const char* WorkDir() {
  static char dir[4096];
  static const bool made = [] {
    const char* base = std::getenv("TMPDIR");
    std::snprintf(dir, sizeof dir, "%s/velmora-fuzz-XXXXXX",
                  base != nullptr && *base != '\0' ? base : "/tmp");
    if (::mkdtemp(dir) == nullptr || ::chdir(dir) != 0) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::current_path("/", ec);
      std::filesystem::remove_all(dir, ec);
    });
    return true;
  }();
  (void)made;
  return dir;
}

inline void WriteInput(const char* path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) std::abort();
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

inline std::string AsText(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Bounded text fields must stay terminated inside their arrays.
template <std::size_t N>
void CheckTerminated(const char (&text)[N]) {
  bool terminated = false;
  for (std::size_t i = 0; i < N && !terminated; ++i) terminated = text[i] == '\0';
  if (!terminated) std::abort();
}

// A volume the readers store is a whole count of shares that a service can
// mean: never negative, never beyond the largest plausible volume.
inline void CheckVolume(std::int64_t volume) {
  if (volume < 0 || static_cast<double>(volume) > kMaxPlausibleVolume) std::abort();
}

}  // namespace velmora::fuzz
