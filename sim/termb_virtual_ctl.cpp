// termb-virtual-ctl: a companion of the virtual reader for manual testing and
// screenshots. It places and removes cards for a manual timeline and writes a
// sample card's base text, compressed photo and bitmap to files.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/cards.h"
#include "sim/control_file.h"
#include "sim/photo.h"

namespace {

using namespace termbsim;

int usage()
{
    std::fputs(
        "usage:\n"
        "  termb-virtual-ctl list                        the built-in cards\n"
        "  termb-virtual-ctl place CONTROL_FILE N        put card N on the reader\n"
        "  termb-virtual-ctl remove CONTROL_FILE         take the card away\n"
        "  termb-virtual-ctl dump CARD DIR               write CARD's base text (.base),\n"
        "                                                photo (.wlt, .bmp) and fingerprint (.fp)\n"
        "CARD is a built-in card's number or key; N is a number into the scenario's cards.\n",
        stderr);
    return 2;
}

bool writeFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

const CardSpec* findCard(const std::string& name)
{
    const auto& cards = BuiltinCards();
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (cards[i].key == name || std::to_string(i) == name)
            return &cards[i];
    }
    return nullptr;
}

int list()
{
    const auto& cards = BuiltinCards();
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const CardFields& f = cards[i].fields;
        // Identity cards show their nation, the other kinds their kind.
        const std::string kind = cards[i].kind == CardKind::IdCard
                                     ? "nation " + f.nation
                                     : std::string("kind ") + LayoutOf(cards[i].kind).key;
        const std::string& name = f.name.empty() ? f.englishName : f.name;
        std::printf("%zu  %-26s %s  sex %s  %s  %s  %s-%s%s\n", i, cards[i].key.c_str(),
                    name.c_str(), f.sex.c_str(), kind.c_str(), f.idNumber.c_str(), f.start.c_str(),
                    f.end.c_str(), cards[i].hasFingerprint ? "" : "  no fingerprint");
    }
    return 0;
}

int dump(const std::string& name, const std::filesystem::path& dir)
{
    const CardSpec* card = findCard(name);
    if (!card) {
        std::fprintf(stderr, "termb-virtual-ctl: no built-in card %s\n", name.c_str());
        return 1;
    }
    CardImage image;
    std::string error;
    if (!BuildCardImage(*card, image, error)) {
        std::fprintf(stderr, "termb-virtual-ctl: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::uint8_t> bmp(kBmpFileSize);
    if (DecodePhoto(image.photo.data(), bmp.data()) != static_cast<int>(kBmpFileSize)) {
        std::fprintf(stderr, "termb-virtual-ctl: the photo does not decode\n");
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::filesystem::path base = dir / card->key;
    bool ok = writeFile(base.string() + ".base", image.baseText.data(), image.baseText.size()) &&
              writeFile(base.string() + ".wlt", image.photo.data(), image.photo.size()) &&
              writeFile(base.string() + ".bmp", bmp.data(), bmp.size());
    if (!image.fingerprint.empty())
        ok = ok &&
             writeFile(base.string() + ".fp", image.fingerprint.data(), image.fingerprint.size());
    if (!ok) {
        std::fprintf(stderr, "termb-virtual-ctl: cannot write into %s\n", dir.string().c_str());
        return 1;
    }
    for (const BaseField& f : kBaseFields)
        std::printf("%-10s %s\n", f.key, (card->fields.*f.member).c_str());
    std::printf("photo      %zu bytes compressed -> %s.bmp\n", image.photo.size(),
                base.string().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "list")
        return list();
    if (args.size() == 3 && args[0] == "place") {
        if (args[2].empty() || args[2].find_first_not_of("0123456789") != std::string::npos)
            return usage();
        if (!WriteControlFile(args[1], args[2] + "\n")) {
            std::fprintf(stderr, "termb-virtual-ctl: cannot write %s\n", args[1].c_str());
            return 1;
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == "remove") {
        if (!WriteControlFile(args[1], "")) {
            std::fprintf(stderr, "termb-virtual-ctl: cannot write %s\n", args[1].c_str());
            return 1;
        }
        return 0;
    }
    if (args.size() == 3 && args[0] == "dump")
        return dump(args[1], args[2]);
    return usage();
}
