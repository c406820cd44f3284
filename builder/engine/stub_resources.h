// Editing the resources of the freshly written stub: icon, version information
// and elevation manifest. Each operation is one transaction on the target file:
// all staged changes are committed together, or the file stays untouched.
// Failures are silent; the build goes on with the stub's own resources.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

bool CopyIconFromIconFile(const std::string& iconFile, const std::string& target);
bool CopyIconFromExecutable(const std::string& sourceExecutable, const std::string& target);
bool CopyVersionInfo(const std::string& sourceExecutable, const std::string& target);
// level 1: highestAvailable, 2: requireAdministrator; from the 420-byte template.
void WriteElevationManifest(const std::string& target, int level, std::string_view manifestTemplate);
// The language of the first entry of the file's version translation table, or 0.
uint16_t VersionLanguage(const std::string& file);

}  // namespace ql
