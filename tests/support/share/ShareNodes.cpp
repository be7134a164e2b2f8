#include "ShareNodes.h"

#include <iterator>
#include <vector>

namespace kestrel {
namespace share {

namespace {

bool at_or_below(const std::string& path, const std::string& top) {
    return path.compare(0, top.size(), top) == 0 && (path.size() == top.size() || path[top.size()] == '/');
}

} // namespace

std::string share_nodes::path(std::uint64_t node) const {
    const auto found = path_of_.find(node);
    return found == path_of_.end() ? std::string() : found->second;
}

std::uint64_t share_nodes::node(const std::string& path) {
    const auto found = node_at_.find(path);
    if (found != node_at_.end())
        return found->second;
    const std::uint64_t made = next_++;
    node_at_[path] = made;
    path_of_[made] = path;
    return made;
}

void share_nodes::removed(const std::string& path) { node_at_.erase(path); }

void share_nodes::renamed(const std::string& from, const std::string& to) {
    // What lay at `to` was replaced: its nodes keep their paths only for
    // their open files.
    for (auto it = node_at_.begin(); it != node_at_.end();)
        it = at_or_below(it->first, to) ? node_at_.erase(it) : std::next(it);
    move_names(from, to);
}

void share_nodes::exchanged(const std::string& one, const std::string& other) {
    // No path of the share begins without a slash.
    const std::string aside = "\x01aside";
    move_names(one, aside);
    move_names(other, one);
    move_names(aside, other);
}

void share_nodes::move_names(const std::string& from, const std::string& to) {
    std::vector<std::pair<std::string, std::uint64_t>> moved;
    for (auto it = node_at_.begin(); it != node_at_.end();) {
        if (!at_or_below(it->first, from)) {
            ++it;
            continue;
        }
        moved.emplace_back(to + it->first.substr(from.size()), it->second);
        it = node_at_.erase(it);
    }
    for (const auto& each : moved) {
        node_at_[each.first] = each.second;
        path_of_[each.second] = each.first;
    }
}

} // namespace share
} // namespace kestrel
