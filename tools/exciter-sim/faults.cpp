#include "faults.h"

#include <algorithm>
#include <charconv>

namespace sim {

namespace {

std::optional<std::uint64_t> positive(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
    return value;
}

}  // namespace

bool Selector::matches(std::uint64_t reply) const {
    if (every != 0 && reply % every == 0) return true;
    return std::find(listed.begin(), listed.end(), reply) != listed.end();
}

std::optional<Selector> Selector::parse(const std::string& text) {
    Selector sel;
    std::string_view rest(text);
    if (rest.starts_with("every:")) {
        const auto n = positive(rest.substr(6));
        if (!n) return std::nullopt;
        sel.every = *n;
        return sel;
    }
    while (true) {
        const std::size_t comma = rest.find(',');
        const auto n = positive(rest.substr(0, comma));
        if (!n) return std::nullopt;
        sel.listed.push_back(*n);
        if (comma == std::string_view::npos) return sel;
        rest.remove_prefix(comma + 1);
    }
}

}  // namespace sim
