// The .ico reader: any input as the icon file of a build, set into a fresh
// copy of the real stub. A file it takes must give a group of 1 to 256 images
// that the reader finds again, and no more image bytes than the file held.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "builder/engine/resource_update.h"
#include "builder/engine/stub_resources.h"
#include "platform/file.h"
#include "tests/fuzz/scratch_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string stub = [] {
        std::string bytes;
        if (ql::platform::ReadWholeFile(QUILLON_STUB, bytes) != 0) __builtin_trap();
        return bytes;
    }();
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::string icon = ql::fuzz::ScratchFile("input.ico", file);
    ql::EditedImage target{"stub.exe", stub};
    std::string problem;
    if (!ql::CopyIconFromIconFile(icon, target, &problem)) {
        if (problem.empty()) __builtin_trap();  // an icon file that fails always says why
        return 0;
    }
    ql::ResourceTree tree;
    if (!ql::LoadResources(ql::fuzz::ScratchFile("stub.exe", target.bytes), tree)) __builtin_trap();
    const ql::ResourceName group = ql::ResourceName::Text(u"MAINICON");
    const std::vector<uint16_t> languages = tree.Languages(ql::rt::kGroupIcon, group);
    if (languages.size() != 1) __builtin_trap();
    const std::string& directory = tree.Find({ql::rt::kGroupIcon, group, languages[0]})->data;
    std::vector<uint16_t> numbers;
    if (!ql::IconGroupNumbers(directory, numbers) || numbers.empty() || numbers.size() > ql::kMaxIconImages ||
        directory.size() != ql::kIconFileHeaderSize + ql::kGroupEntrySize * numbers.size())
        __builtin_trap();
    size_t imageBytes = 0;
    for (uint16_t number : numbers) {
        const ql::ResourceEntry* image =
            tree.Find({ql::rt::kIcon, ql::ResourceName::Number(number), languages[0]});
        if (image == nullptr) __builtin_trap();
        imageBytes += image->data.size();
    }
    if (imageBytes > size) __builtin_trap();
    return 0;
}
