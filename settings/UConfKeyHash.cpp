#include "settings/UConfKeyHash.h"

template class THashTable<TKeyNode*>;
