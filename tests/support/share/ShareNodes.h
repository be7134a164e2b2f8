#pragma once
// Which path under the share's source each node the kernel knows stands
// for. A node is a name: a rename carries the node (and what lies below
// it) to the new name, a removal frees the name for a new node, and a node
// whose name went keeps its last path for the calls made through an open
// file. Nodes are never forgotten: a share lives for one test.

#include <cstdint>
#include <map>
#include <string>

namespace kestrel {
namespace share {

class share_nodes {
public:
    static constexpr std::uint64_t root = 1;

    share_nodes() { path_of_[root] = ""; }

    // The path below the source ("" for the root, else "/a/b"); empty for
    // a node never given.
    std::string path(std::uint64_t node) const;
    // The path of `name` in the folder `parent`.
    std::string child(std::uint64_t parent, const std::string& name) const { return path(parent) + "/" + name; }
    // The node of a path, a new one the first time.
    std::uint64_t node(const std::string& path);
    void removed(const std::string& path);
    void renamed(const std::string& from, const std::string& to);
    void exchanged(const std::string& one, const std::string& other);

private:
    // Every name at `from` or below it, moved to lie at or below `to`.
    void move_names(const std::string& from, const std::string& to);

    std::map<std::uint64_t, std::string> path_of_;
    std::map<std::string, std::uint64_t> node_at_;
    std::uint64_t next_ = root + 1;
};

} // namespace share
} // namespace kestrel
