// TConfKeyHash: the sub-key table of a setting key, sub-key name -> key node.
// The table refers to the nodes without owning them; the tree (TSetting)
// creates and frees nodes.
#pragma once

#include <cstddef>

#include "settings/UConfHash.h"
#include "settings/UHashTable.h"
#include "settings/UNodePool.h"

struct TKeyNode;
using TConfKeyHash = THashTable<TKeyNode*>;
extern template class THashTable<TKeyNode*>;

// A key of the tree: its sub-keys and its values. Its name lives only as the
// entry key in its parent's sub-key table.
struct TKeyNode {
    TConfKeyHash SubKeys;
    TConfHash Values;

    static void* operator new(std::size_t size) { return NodePool::Allocate(size); }
    static void operator delete(void* p, std::size_t size) noexcept { NodePool::Free(p, size); }
};
