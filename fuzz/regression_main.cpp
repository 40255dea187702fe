// Runs a fuzz target's function once on every file of the folders given:
// the kept findings, run as a native test under the sanitizers. Fails on an
// empty or missing folder, so that a lost folder is not a pass.
#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int total = 0;
    for (int a = 1; a < argc; ++a) {
        DIR* dir = opendir(argv[a]);
        if (!dir) {
            std::fprintf(stderr, "%s: cannot open\n", argv[a]);
            return 1;
        }
        int count = 0;
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::string path = std::string(argv[a]) + "/" + entry->d_name;
            std::string bytes = fuzz_support::ReadBytes(path);
            std::printf("%s (%zu bytes)\n", entry->d_name, bytes.size());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            count++;
        }
        closedir(dir);
        if (count == 0) {
            std::fprintf(stderr, "%s: no inputs\n", argv[a]);
            return 1;
        }
        total += count;
    }
    std::printf("%d inputs, no finding\n", total);
    return argc > 1 ? 0 : 1;
}
