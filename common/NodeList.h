#pragma once
// The tree as data: nodes in preorder, each knowing its parent. Node 0 is the
// root that stands for the file; node N belongs to record N - 1.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

struct TreeNode {
    std::string caption;
    std::int32_t parent = -1;  // -1 for the root
};

class NodeList {
public:
    void Reset(std::string rootCaption) {
        nodes_.clear();
        nodes_.push_back({std::move(rootCaption), -1});
        LastNode = 0;
    }
    void Clear() {
        nodes_.clear();
        LastNode = -1;
    }
    // Adds a child of parent and makes it LastNode.
    std::int32_t Add(std::string caption, std::int32_t parent) {
        nodes_.push_back({std::move(caption), parent});
        LastNode = static_cast<std::int32_t>(nodes_.size() - 1);
        return LastNode;
    }
    void Reserve(std::size_t n) { nodes_.reserve(n); }
    const std::vector<TreeNode>& Nodes() const { return nodes_; }
    std::size_t Count() const { return nodes_.size(); }

    std::int32_t LastNode = -1;

private:
    std::vector<TreeNode> nodes_;
};

}  // namespace kestrova
