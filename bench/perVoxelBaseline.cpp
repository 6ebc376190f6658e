// The historical conversion loop, kept as the benchmark's baseline: the same volumes as slicevol,
// but every pixel read with its own stdio call and every voxel written with its own one-byte write.
// Only the copy loop matters here, so the slice list is the sorted <basename>*.tga of the working
// directory and nothing is checked beyond the calls themselves.
//
//   perVoxelBaseline basename
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 2) return 1;
    const std::string base = argv[1];
    std::vector<std::string> todo;
    for (const auto &entry : std::filesystem::directory_iterator("."))
        if (const std::string name = entry.path().filename().string();
            name.starts_with(base) && name.ends_with(".tga"))
            todo.push_back(name);
    std::sort(todo.begin(), todo.end());
    if (todo.empty()) return 1;

    unsigned char size[4];
    FILE *first = std::fopen(todo[0].c_str(), "rb");
    if (!first || std::fseek(first, 12, SEEK_SET) != 0 || std::fread(size, 1, 4, first) != 4)
        return 1;
    std::fclose(first);
    const unsigned long width = size[0] + 256ul * size[1], height = size[2] + 256ul * size[3];
    const unsigned char header[6] = {size[1],
                                     size[0],
                                     size[3],
                                     size[2],
                                     static_cast<unsigned char>(todo.size() >> 8),
                                     static_cast<unsigned char>(todo.size() & 0xff)};
    FILE *out[3];
    const char letters[3] = {'r', 'g', 'b'};
    for (int c = 0; c < 3; c++) {
        const std::string name = base + "_" + letters[c] + ".df3";
        out[c] = std::fopen(name.c_str(), "wb");
        if (!out[c] || std::fwrite(header, 1, 6, out[c]) != 6) return 1;
    }
    for (const std::string &name : todo) {
        FILE *in = std::fopen(name.c_str(), "rb");
        if (!in || std::fseek(in, 18, SEEK_SET) != 0) return 1;
        std::printf("adding file '%s'\n", name.c_str());
        unsigned char pixel[3];
        for (unsigned long i = 0; i < width * height; i++) {
            if (std::fread(pixel, 1, 3, in) != 3) return 1;
            for (int c = 0; c < 3; c++)
                if (std::fwrite(&pixel[2 - c], 1, 1, out[c]) != 1) return 1;
        }
        std::fclose(in);
    }
    for (FILE *f : out)
        if (std::fclose(f) != 0) return 1;
    return 0;
}
