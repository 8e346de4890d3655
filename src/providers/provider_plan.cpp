// The plan of the market-data providers: which serve history and quotes,
// which take over, and each one's address, agent and key.

#include "providers/provider_plan.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "base/log.h"
#include "base/text_helpers.h"
#include "providers/provider_hub.h"

namespace velmora {

namespace {

struct KeyedProvider {
  ProviderId id;
  const char* variable;  // where its key comes from
  std::string ProviderKeys::*key;
};

// The providers that answer nothing without a key.
constexpr KeyedProvider kKeyed[] = {{ProviderId::kTiingo, "VELMORA_TIINGO_KEY", &ProviderKeys::tiingo},
                                    {ProviderId::kFinnhub, "VELMORA_FINNHUB_KEY", &ProviderKeys::finnhub}};

const KeyedProvider* keyedProvider(ProviderId id) {
  for (const KeyedProvider& k : kKeyed)
    if (k.id == id) return &k;
  return nullptr;
}

std::string trimmed(std::string_view text) { return std::string(TrimWhiteSpace(text)); }

ProviderId providerOr(std::string_view name, ProviderId fallback) {
  ProviderId id = fallback;
  return ParseProviderName(name, id) ? id : fallback;
}

std::string baseUrl(const std::string& configured, const char* standard) {
  std::string url = trimmed(configured);
  if (url.empty()) url = standard;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

// The words of the comma list, blanks around each dropped.
template <typename Each>
void forEachListed(const std::string& list, Each each) {
  std::size_t from = 0;
  while (from <= list.size()) {
    std::size_t comma = list.find(',', from);
    if (comma == std::string::npos) comma = list.size();
    const std::string word = trimmed(std::string_view(list).substr(from, comma - from));
    if (!word.empty()) each(word);
    from = comma + 1;
  }
}

}  // namespace

ProviderKeys ProviderKeysFromEnvironment() {
  ProviderKeys keys;
  for (const KeyedProvider& k : kKeyed) {
    const char* value = std::getenv(k.variable);
    if (value == nullptr) continue;
    keys.*k.key = trimmed(value);
    // Whatever echoes it (a provider's error text, a URL), the log never shows it.
    AddLogSecret(keys.*k.key);
  }
  return keys;
}

ProviderPlan PlanFromConfig(const SystemConfig& config, const ProviderKeys& keys) {
  ProviderPlan plan;
  plan.history = providerOr(config.HistoryProvider, ProviderId::kClassic);
  plan.quotes = providerOr(config.QuoteProvider, ProviderId::kClassic);
  plan.settings[static_cast<int>(ProviderId::kYahooChart)].baseUrl =
      baseUrl(config.YahooChartURL, kDefaultYahooChartUrl);
  plan.settings[static_cast<int>(ProviderId::kTiingo)].baseUrl = baseUrl(config.TiingoURL, kDefaultTiingoUrl);
  plan.settings[static_cast<int>(ProviderId::kFinnhub)].baseUrl =
      baseUrl(config.FinnhubURL, kDefaultFinnhubUrl);
  const std::string agent = trimmed(config.YahooUserAgent);
  plan.settings[static_cast<int>(ProviderId::kYahooChart)].userAgent =
      agent.empty() ? kDefaultYahooUserAgent : agent;
  for (const KeyedProvider& k : kKeyed) plan.settings[static_cast<int>(k.id)].key = keys.*k.key;

  forEachListed(config.FallbackProviders, [&](const std::string& word) {
    ProviderId id{};
    if (!ParseProviderName(word, id) || id == ProviderId::kClassic) return;
    for (const ProviderId known : plan.fallback)
      if (known == id) return;
    // A provider that would only refuse every request is no fallback.
    if (keyedProvider(id) != nullptr && plan.settings[static_cast<int>(id)].key.empty()) return;
    plan.fallback.push_back(id);
  });
  return plan;
}

std::vector<std::string> PlanProblems(const SystemConfig& config) {
  std::vector<std::string> problems;
  ProviderId id{};
  const std::pair<const char*, const std::string*> primaries[] = {
      {"HistoryProvider", &config.HistoryProvider}, {"QuoteProvider", &config.QuoteProvider}};
  for (const auto& [name, value] : primaries) {
    if (!trimmed(*value).empty() && !ParseProviderName(*value, id))
      problems.push_back(std::string(name) + "=" + trimmed(*value) +
                         " is no provider: " + kClassicProviderName + " is used.");
  }
  forEachListed(config.FallbackProviders, [&](const std::string& word) {
    if (!ParseProviderName(word, id))
      problems.push_back("FallbackProviders names " + word + ", which is no provider.");
  });
  return problems;
}

const char* ProviderKeyVariable(ProviderId id) {
  const KeyedProvider* k = keyedProvider(id);
  return k != nullptr ? k->variable : nullptr;
}

std::vector<std::string> PlanKeyProblems(const ProviderPlan& plan) {
  std::vector<std::string> problems;
  for (const ProviderId primary : {plan.history, plan.quotes}) {
    const char* variable = ProviderKeyVariable(primary);
    if (variable == nullptr || !plan.settings[static_cast<int>(primary)].key.empty()) continue;
    const std::string text = std::string(ProviderName(primary)) + " needs a key: set " + variable + ".";
    if (problems.empty() || problems.back() != text) problems.push_back(text);
  }
  return problems;
}

}  // namespace velmora
