// The builder's embedded resources, found by type and name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ql {

// Finds the resource and hands out its bytes (valid for the life of the
// program); false when it is missing or empty.
bool LoadResourceData(const char* type, const char* name, std::string_view& data);

// The command-line help (TXT CMDLINE) is GBK text, whatever the system's code
// page; the Linux builder's English help (TXT CMDLINE_EN) is UTF-8.
constexpr int kHelpTextCodePage = 936;

// The stub and helper images the Linux builder carries, one set per architecture.
struct StubImages {
    const char* architecture;  // "i686" or "x86_64"
    std::string_view stub, helper;
};
std::vector<StubImages> EmbeddedStubImages();

// Chooses which architecture's stub and helper images SFXHEAD and SELFDELETE
// give: "i686" (the default) or "x86_64". A Windows builder carries only its
// own architecture and accepts only that name.
bool SelectStubArchitecture(const std::string& architecture);

}  // namespace ql
