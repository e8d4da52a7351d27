// Runs a libFuzzer entry point once over every file of its seed folders, so
// the ordinary (gcc, sanitised) build checks the seeds and keeps the target
// compiling.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> paths;
        if (fs::is_directory(argv[i])) {
            for (const auto& e : fs::recursive_directory_iterator(argv[i]))
                if (e.is_regular_file())
                    paths.push_back(e.path());
        } else {
            paths.emplace_back(argv[i]);
        }
        for (const auto& p : paths) {
            std::ifstream in(p, std::ios::binary);
            std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++files;
        }
    }
    std::printf("%d seed files passed\n", files);
    return files > 0 ? 0 : 1;
}
