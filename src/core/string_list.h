// String lists: ordered, doubly linked lists of text entries with one built-in cursor. Every entry is
// a private copy stored in the list's memory pool; the cursor is the only way to address an entry.
#pragma once

#include "core/pool.h"

struct StringListNode;

// ListLoad reads files in chunks of this many bytes; it is also the longest line read as one entry.
const int LIST_LOAD_CHUNK = 8192;

// An opaque place in a list, as given by ListGetPosition.
typedef StringListNode* ListPosition;

struct StringList {
    int count;
    int elementSize;  // 0 for text entries; n > 0 for fixed records of n bytes
    StringListNode* first;
    StringListNode* last;
    StringListNode* current;
    MemoryPool pool;
};

// A new empty list in the shared list pool, or null.
StringList* ListCreate(int elementSize);

// A new empty list in the given pool (POOL_NONE: the shared list pool), or null.
StringList* ListCreateInPool(int elementSize, MemoryPool pool);

// Releases every entry and the list itself: 1, or 0 for a null list.
int ListDestroy(StringList* list);

// Inserts a copy of text after the current entry (first when there is none) and makes it current:
// 1, or 0. A fixed-record list copies elementSize bytes from text.
int ListAppend(StringList* list, const char* text);

// Cursor walks: each returns the text of the entry it moved to, or null.
const char* ListFirst(StringList* list);
const char* ListLast(StringList* list);
const char* ListNext(StringList* list);

int ListCount(const StringList* list);

ListPosition ListGetPosition(const StringList* list);

// Makes a position of this list current again (a null position clears the cursor): 1, or 0 if it
// is not an entry of this list.
int ListSetPosition(StringList* list, ListPosition position);

// Removes the current entry: 1, or 0 for an empty or null list.
int ListRemoveCurrent(StringList* list);

// Appends the lines of a text file: 1, or 0 if the list holds records, the file cannot be opened or
// read, or memory runs out (the lines appended until then stay). A line ends at CR or LF; a pair of
// line-end characters is one line end; a final line beginning with Ctrl-Z is dropped. A line longer
// than LIST_LOAD_CHUNK bytes is cut into entries of at most that length, never inside a double-byte
// character.
int ListLoad(StringList* list, const char* path);

// Writes the entries as lines separated by CR LF: 1, or 0 if the list holds records or the file
// cannot be created.
int ListSave(StringList* list, const char* path);
