#include "core/string_list.h"

StringList* ListCreate(int) { return nullptr; }
StringList* ListCreateInPool(int, MemoryPool) { return nullptr; }
int ListDestroy(StringList*) { return 0; }
int ListAppend(StringList*, const char*) { return 0; }
const char* ListFirst(StringList*) { return nullptr; }
const char* ListLast(StringList*) { return nullptr; }
const char* ListNext(StringList*) { return nullptr; }
int ListCount(const StringList*) { return 0; }
ListPosition ListGetPosition(const StringList*) { return nullptr; }
int ListSetPosition(StringList*, ListPosition) { return 0; }
int ListRemoveCurrent(StringList*) { return 0; }
int ListLoad(StringList*, const char*) { return 0; }
int ListSave(StringList*, const char*) { return 0; }
