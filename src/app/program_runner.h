#pragma once

#include <string>
#include <vector>

namespace velmora {

// Starts argv[0] (searched in PATH when it has no '/') with the given
// arguments and waits for it. Returns its exit status, or -1 when it could
// not be started or was ended by a signal.
[[nodiscard]] int RunProgramAndWait(const std::vector<std::string>& argv);

// Starts argv[0] as RunProgramAndWait does and returns at once; false when
// it could not be started. A small thread collects its exit status when it
// ends, so no finished program is left behind as a zombie.
[[nodiscard]] bool StartProgram(const std::vector<std::string>& argv);

// Opens a file or web address with the desktop's default program
// ("xdg-open"); true when the opener reports success.
[[nodiscard]] bool OpenWithDesktop(const std::string& fileOrUrl);

}  // namespace velmora
