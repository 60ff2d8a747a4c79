// Build tool: writes the program's three icon files into the directory it is given.
#include <cstdio>
#include <fstream>
#include <string>

#include "ico_writer.h"
#include "icon_art.h"
#include "resource.h"

namespace {

bool WriteIcon(const std::string& path, int id) {
    IcoWriter writer;
    for (int size : {32, 16}) {
        if (AfxIconHasImage(id, size)) {
            writer.AddImage(AfxRenderIcon(id, size));
        } else {
            writer.AddTransparent(size);
        }
    }
    const auto bytes = writer.Bytes();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    const struct {
        const char* file;
        int id;
    } icons[] = {
        {"app.ico", IDR_MAINFRAME}, {"net_up.ico", IDI_NET_UP}, {"net_down.ico", IDI_NET_DOWN}};
    for (const auto& icon : icons) {
        if (!WriteIcon(directory + "/" + icon.file, icon.id)) {
            std::fprintf(stderr, "cannot write %s/%s\n", directory.c_str(), icon.file);
            return 1;
        }
    }
    return 0;
}
