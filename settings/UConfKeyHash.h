// TConfKeyHash: the sub-key table of a setting key, sub-key name -> key node.
// The table refers to the nodes without owning them; the tree (TSetting)
// creates and frees nodes.
#pragma once

#include "settings/UConfHash.h"
#include "settings/UHashTable.h"

struct TKeyNode;
using TConfKeyHash = THashTable<TKeyNode*>;
extern template class THashTable<TKeyNode*>;

// A key of the tree: its sub-keys and its values. Its name lives only as the
// entry key in its parent's sub-key table.
struct TKeyNode {
    TConfKeyHash SubKeys;
    TConfHash Values;
};
