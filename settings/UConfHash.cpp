#include "settings/UConfHash.h"

template class THashTable<TConf>;
