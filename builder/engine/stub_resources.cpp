// Placeholder until the PE resource editor lands: every operation leaves the
// target as it is.
#include "builder/engine/stub_resources.h"

namespace ql {

bool CopyIconFromIconFile(const std::string&, const std::string&) { return false; }
bool CopyIconFromExecutable(const std::string&, const std::string&) { return false; }
bool CopyVersionInfo(const std::string&, const std::string&) { return false; }
void WriteElevationManifest(const std::string&, int, std::string_view) {}
uint16_t VersionLanguage(const std::string&) { return 0; }

}  // namespace ql
