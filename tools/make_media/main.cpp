// stowix-make-media <folder>: draws the program's media files into folder: the animation clip
// Stowix1.Avi, the opening and closing sounds Stowix1.Wav and Stowix2.Wav, and the icon
// (stowix.ico, stowix-32.png, stowix-16.png). The same source always writes the same bytes.

#include "artwork.h"
#include "avi_writer.h"
#include "chimes.h"
#include "icon_writer.h"
#include "wave_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace stowix::media;

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "stowix-make-media: cannot write %s\n", path.c_str());
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stowix-make-media <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "stowix-make-media: cannot make %s: %s\n", folder.c_str(),
                     error.message().c_str());
        return 1;
    }

    bool ok = WriteFile(folder / "Stowix1.Avi",
                        WriteRle8Avi(ClipFrameImages(), ClipPalette(), ClipFramesPerSecond));
    ok = WriteFile(folder / "Stowix1.Wav", WriteWave(OpeningChime(), SampleRate)) && ok;
    ok = WriteFile(folder / "Stowix2.Wav", WriteWave(ClosingChime(), SampleRate)) && ok;
    const Canvas icon32 = IconImage(32);
    const Canvas icon16 = IconImage(16);
    ok = WriteFile(folder / "stowix.ico", WriteIco({icon32, icon16}, IconPalette())) && ok;
    for (const auto& [image, name] :
         {std::pair{&icon32, "stowix-32.png"}, {&icon16, "stowix-16.png"}}) {
        if (!WritePng(*image, IconPalette(), (folder / name).string())) {
            std::fprintf(stderr, "stowix-make-media: cannot write %s\n", (folder / name).c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
