// vexlo-artgen: the setup program's pictures and icon. It paints them with a
// product's title, or checks a product's own: every complaint is one line
// naming the file, and a non-zero exit stops the build.
// Painting is computed from fixed seeds, so each build makes the same files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "indexed_image.h"
#include "picture_check.h"
#include "scenes.h"

namespace {

const char Usage[] =
    "usage: vexlo-artgen [--title TEXT] [--tagline TEXT] [--only NAME]... OUTPUT-FOLDER\n"
    "         paints autoplay.bmp, wizard.bmp and setup.ico (--only: just those named)\n"
    "       vexlo-artgen --check FILE.bmp WIDTH HEIGHT\n"
    "       vexlo-artgen --copy FILE.bmp WIDTH HEIGHT OUTPUT.bmp\n"
    "         checks an 8-bit picture; --copy also writes it as the dialogs read it\n"
    "       vexlo-artgen --check-icon FILE.ico\n";

constexpr const char* PaintedNames[] = {"autoplay.bmp", "wizard.bmp", "setup.ico"};

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

IndexedImage IconImage(int size, const ArtTexts& texts) {
    std::vector<uint8_t> opaque;
    Canvas canvas = PaintIconScene(size, texts, opaque);
    IndexedImage image = Quantize(canvas);
    // Transparent pixels must be black in the colour rows: the darkest entry is made black.
    image.palette[0] = PaletteColour{0, 0, 0};
    image.opaque = opaque;
    for (size_t i = 0; i < opaque.size(); ++i)
        if (!opaque[i]) image.pixels[i] = 0;
    return image;
}

int Paint(const ArtTexts& texts, const std::vector<std::string>& only, std::string folder) {
    std::string problem;
    if (!CheckArtTexts(texts, &problem)) {
        fprintf(stderr, "vexlo-artgen: cannot paint \"%s\": %s\n", texts.title.c_str(),
                problem.c_str());
        return 1;
    }
    if (!folder.empty() && folder.back() != '/') folder += '/';
    auto wanted = [&](const char* name) {
        if (only.empty()) return true;
        for (const std::string& o : only)
            if (o == name) return true;
        return false;
    };
    bool ok = true;
    if (ok && wanted("autoplay.bmp"))
        ok = WritePicture(folder + "autoplay.bmp", PaintLauncherScene(texts));
    if (ok && wanted("wizard.bmp"))
        ok = WritePicture(folder + "wizard.bmp", PaintWizardScene(texts));
    if (ok && wanted("setup.ico")) {
        ok = WriteIconFile(folder + "setup.ico", {IconImage(32, texts), IconImage(16, texts)});
        if (!ok) fprintf(stderr, "vexlo-artgen: cannot write %ssetup.ico\n", folder.c_str());
    }
    return ok ? 0 : 1;
}

bool ReadInput(const char* path, std::vector<uint8_t>* bytes) {
    if (ReadWholeFile(path, bytes)) return true;
    fprintf(stderr, "vexlo-artgen: %s: cannot be read\n", path);
    return false;
}

// A picture size from the command line: 1 to 4096 pixels.
bool ParseSize(const char* text, int* value) {
    char* end = nullptr;
    long v = strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || v < 1 || v > 4096) {
        fprintf(stderr, "vexlo-artgen: %s is no picture size\n", text);
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

int CheckPicture(const char* path, const char* widthText, const char* heightText,
                 const char* output) {
    int width = 0, height = 0;
    if (!ParseSize(widthText, &width) || !ParseSize(heightText, &height)) return 2;
    std::vector<uint8_t> bytes;
    if (!ReadInput(path, &bytes)) return 1;
    IndexedImage image;
    std::string problem;
    if (!ReadPaletteBitmap(bytes, width, height, &image, &problem)) {
        fprintf(stderr, "vexlo-artgen: %s %s\n", path, problem.c_str());
        return 1;
    }
    if (output && !WriteBitmapFile(output, image)) {
        fprintf(stderr, "vexlo-artgen: cannot write %s\n", output);
        return 1;
    }
    return 0;
}

int CheckIcon(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadInput(path, &bytes)) return 1;
    std::string problem;
    if (!CheckIconFile(bytes, &problem)) {
        fprintf(stderr, "vexlo-artgen: %s %s\n", path, problem.c_str());
        return 1;
    }
    return 0;
}

int UsageError() {
    fputs(Usage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "--check") == 0)
        return argc == 5 ? CheckPicture(argv[2], argv[3], argv[4], nullptr) : UsageError();
    if (argc >= 2 && strcmp(argv[1], "--copy") == 0)
        return argc == 6 ? CheckPicture(argv[2], argv[3], argv[4], argv[5]) : UsageError();
    if (argc >= 2 && strcmp(argv[1], "--check-icon") == 0)
        return argc == 3 ? CheckIcon(argv[2]) : UsageError();

    ArtTexts texts;
    std::vector<std::string> only;
    int i = 1;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (strcmp(argv[i], "--title") == 0) {
            texts.title = argv[i + 1];
        } else if (strcmp(argv[i], "--tagline") == 0) {
            texts.tagline = argv[i + 1];
        } else if (strcmp(argv[i], "--only") == 0) {
            bool known = false;
            for (const char* name : PaintedNames)
                known = known || strcmp(argv[i + 1], name) == 0;
            if (!known) {
                fprintf(stderr,
                        "vexlo-artgen: --only takes autoplay.bmp, wizard.bmp or "
                        "setup.ico, not %s\n",
                        argv[i + 1]);
                return 2;
            }
            only.push_back(argv[i + 1]);
        } else {
            return UsageError();
        }
    }
    if (i + 1 != argc || strncmp(argv[i], "--", 2) == 0) return UsageError();
    return Paint(texts, only, argv[i]);
}
