// The program's version, shown nowhere but kept in the library so that it always has one source.
extern const char kUninstVersion[] = "1.0";
