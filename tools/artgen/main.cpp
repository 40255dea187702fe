// vexlo-artgen: writes the setup program's pictures and icon into a folder.
// Everything is computed from fixed seeds, so each build makes the same files.
#include <cstdio>
#include <string>
#include <vector>

#include "indexed_image.h"
#include "scenes.h"

namespace {

bool WritePicture(const std::string& path, const Canvas& canvas) {
    IndexedImage image = Quantize(canvas);
    if (!WriteBitmapFile(path, image)) {
        fprintf(stderr, "vexlo-artgen: cannot write %s\n", path.c_str());
        return false;
    }
    printf("%s: %dx%d, %d colours used\n", path.c_str(), image.width, image.height,
           CountUsedColours(image));
    return true;
}

IndexedImage IconImage(int size) {
    std::vector<uint8_t> opaque;
    Canvas canvas = PaintIconScene(size, opaque);
    IndexedImage image = Quantize(canvas);
    // Transparent pixels must be black in the colour rows: the darkest entry is made black.
    image.palette[0] = PaletteColour{0, 0, 0};
    image.opaque = opaque;
    for (size_t i = 0; i < opaque.size(); ++i)
        if (!opaque[i]) image.pixels[i] = 0;
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: vexlo-artgen OUTPUT-FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '/') folder += '/';
    bool ok = WritePicture(folder + "autoplay.bmp", PaintLauncherScene()) &&
              WritePicture(folder + "wizard.bmp", PaintWizardScene());
    if (ok) {
        ok = WriteIconFile(folder + "setup.ico", {IconImage(32), IconImage(16)});
        if (!ok) fprintf(stderr, "vexlo-artgen: cannot write %ssetup.ico\n", folder.c_str());
    }
    return ok ? 0 : 1;
}
