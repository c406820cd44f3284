// The resource editor on three files at once: a target, an icon file and a
// source executable, cut from the input at each "QLFUZZ--" marker. Each file
// is listed, and every operation runs on a fresh copy of the target image; an
// operation that reports success must leave an image the reader accepts.
#include <cstdint>
#include <string>
#include <string_view>

#include "builder/engine/resource_update.h"
#include "builder/engine/stub_resources.h"
#include "tests/fuzz/scratch_files.h"

namespace {

constexpr std::string_view kMarker = "QLFUZZ--";

void List(const std::string& path) {
    ql::ResourceTree tree;
    std::string problem;
    if (!ql::LoadResources(path, tree, &problem)) return;
    size_t bytes = 0;
    tree.ForEach([&](const ql::ResourceKey&, const ql::ResourceEntry& entry) { bytes += entry.data.size(); });
    if (bytes > (size_t{1} << 31)) __builtin_trap();
}

void ExpectReadable(bool done, const ql::EditedImage& target) {
    ql::ResourceTree tree;
    if (done && !ql::LoadResources(ql::fuzz::ScratchFile("result.exe", target.bytes), tree)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[3];
    for (std::string_view& part : parts) {
        const size_t marker = input.find(kMarker);
        part = input.substr(0, marker);
        input = marker == std::string_view::npos ? std::string_view() : input.substr(marker + kMarker.size());
    }
    const std::string icon = ql::fuzz::ScratchFile("icon.ico", parts[1]);
    const std::string source = ql::fuzz::ScratchFile("source.exe", parts[2]);
    ql::EditedImage target{ql::fuzz::ScratchFile("target.exe", parts[0]), std::string(parts[0])};
    List(target.path);
    List(icon);
    List(source);
    ql::VersionLanguage(source);

    std::string problem;
    ExpectReadable(ql::CopyIconFromIconFile(icon, target, &problem), target);
    target.bytes = parts[0];
    ExpectReadable(ql::CopyIconFromExecutable(source, target, &problem), target);
    target.bytes = parts[0];
    ExpectReadable(ql::CopyVersionInfo(source, target, &problem), target);
    // The manifest goes into whatever version language the copy left behind.
    ExpectReadable(ql::WriteElevationManifest(target, 1 + size % 2, "<manifest/>", &problem), target);
    return 0;
}
