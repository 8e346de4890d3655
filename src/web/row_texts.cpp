#include "web/row_texts.h"

#include "web/web_json.h"

namespace velmora {

std::shared_ptr<const std::string> RowTexts::Row(int index) {
  const auto slot = static_cast<std::size_t>(index);
  const std::uint64_t now = store_.entry(index).version();
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (slots_.size() < static_cast<std::size_t>(store_.count()))
      slots_.resize(static_cast<std::size_t>(store_.count()));
    if (slots_[slot].text != nullptr && slots_[slot].version == now) return slots_[slot].text;
  }
  // A row's data at one version never changes, so its text may be kept.
  auto data = std::make_unique<SecurityData>();
  std::uint64_t version = 0;
  store_.entry(index).Snapshot(*data, version);
  auto text = std::make_shared<const std::string>(SecurityRowJson(index, *data, version));
  keep(index, version, text);
  return text;
}

std::string RowTexts::Render(int index, const SecurityData& data, std::uint64_t version) {
  auto text = std::make_shared<const std::string>(SecurityRowJson(index, data, version));
  keep(index, version, text);
  return *text;
}

void RowTexts::keep(int index, std::uint64_t version, std::shared_ptr<const std::string> text) {
  const auto slot = static_cast<std::size_t>(index);
  std::lock_guard<std::mutex> hold(lock_);
  if (slots_.size() <= slot) slots_.resize(slot + 1);
  // A slower renderer of an older version never replaces a newer text.
  if (slots_[slot].text == nullptr || slots_[slot].version <= version)
    slots_[slot] = {version, std::move(text)};
}

}  // namespace velmora
