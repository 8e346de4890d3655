#pragma once

#include <string>
#include <vector>

#include "providers/provider_hub.h"

namespace velmora {

// "VELMORA_TIINGO_KEY" and its kin: where the key of a provider that needs
// one comes from; nullptr for a provider that needs none.
const char* ProviderKeyVariable(ProviderId id);

// "Tiingo needs a key: set VELMORA_TIINGO_KEY." for a primary provider of
// the plan that needs a key it was not given (keys come from the
// environment or the desktop keyring, so only the plan knows).
std::vector<std::string> PlanKeyProblems(const ProviderPlan& plan);

}  // namespace velmora
