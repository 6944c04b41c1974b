// Build-time tool, compiled for the build machine (not for Windows): turns a BMP file into the
// scrambled form in which the program keeps its splash pictures, so that unscrambling the resource
// with the splash key gives the BMP file back byte for byte.
//
//     scramble_picture input.bmp output.bin
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "app/splash_key.h"
#include "log/log_format.h"

static bool ReadWholeFile(const char* path, std::vector<unsigned char>& data)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

static bool WriteWholeFile(const char* path, const std::vector<unsigned char>& data)
{
    FILE* file = fopen(path, "wb");
    if (!file)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), file) == data.size();
    ok = (fclose(file) == 0) && ok;
    return ok;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s input.bmp output.bin\n", argv[0]);
        return 2;
    }
    std::vector<unsigned char> data;
    if (!ReadWholeFile(argv[1], data)) {
        fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    // The program refuses anything that is not a BMP file; refuse it here already.
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') {
        fprintf(stderr, "%s: %s is not a BMP file\n", argv[0], argv[1]);
        return 1;
    }
    ScrambleBlock(data.data(), data.size(), SPLASH_KEY);
    if (!WriteWholeFile(argv[2], data)) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        remove(argv[2]);
        return 1;
    }
    return 0;
}
