// dorvik-pack: makes a packed data file from files on disk.
//   dorvik-pack [-p] [-t title] output.pak name=file ...
// -p stores the entries plain instead of compressed; an argument without
// '=' is stored under its own path as the entry name.
#include "installer/packed/exceptions.h"
#include "installer/packed/packwriter.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    bool compressed = true;
    std::string title;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::strcmp(argv[i], "-p") == 0) {
            compressed = false;
        } else if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
            title = argv[++i];
        } else {
            std::fprintf(stderr, "dorvik-pack: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: dorvik-pack [-p] [-t title] output name=file ...\n");
        return 2;
    }
    std::string output = argv[i++];
    dorvik::CPackedFileWriter writer(compressed);
    writer.SetTitle(title);
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        auto eq = arg.find('=');
        std::string name = eq == std::string::npos ? arg : arg.substr(0, eq);
        std::string file = eq == std::string::npos ? arg : arg.substr(eq + 1);
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "dorvik-pack: cannot read %s\n", file.c_str());
            return 1;
        }
        writer.AddEntry(name, std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }
    try {
        writer.Write(output);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dorvik-pack: %s\n", e.what());
        return 1;
    }
    return 0;
}
