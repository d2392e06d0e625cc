#pragma once
// An ordered list of name=value settings: a connection's Params, the
// properties it sends when connecting, and what its channel reads. Order is
// kept because the connect message carries the properties in list order;
// names compare without regard to ASCII letter case.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace selvane {

class TRpcProperties {
 public:
  using Entry = std::pair<std::string, std::string>;

  TRpcProperties() = default;
  TRpcProperties(std::initializer_list<Entry> entries) : entries_(entries) {}

  // The value of a name, or nullopt when absent.
  std::optional<std::string> Find(std::string_view name) const;
  std::string Get(std::string_view name, std::string_view fallback = {}) const;
  // An integer value; `fallback` when absent or not a decimal integer.
  int64_t GetInteger(std::string_view name, int64_t fallback) const;
  bool Has(std::string_view name) const { return Find(name).has_value(); }

  // Replaces the value in place, or appends the name when it is absent.
  void Set(std::string_view name, std::string_view value);
  void Remove(std::string_view name);

  const std::vector<Entry>& entries() const { return entries_; }

  friend bool operator==(const TRpcProperties&, const TRpcProperties&) = default;

 private:
  std::vector<Entry> entries_;
};

}  // namespace selvane
