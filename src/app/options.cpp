#include "app/options.h"

StartOptions gOptions;

void ParseCommandLine(const char*) {}
const char* CopyArgument(char*, int, const char* text) { return text; }
