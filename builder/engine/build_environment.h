// Everything a build reads besides its options: program-wide flags set at
// start-up, the embedded images, and the services it reports through.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "builder/engine/dialog_host.h"
#include "builder/engine/pack_chunk.h"
#include "builder/engine/progress_sink.h"
#include "builder/engine/settings_store.h"

namespace ql {

struct BuildEnvironment {
    explicit BuildEnvironment(DialogHost& host) : dialogs(host) {}

    DialogHost& dialogs;
    ProgressSink* progress = nullptr;   // the open progress window; null when headless
    SettingsStore* settings = nullptr;  // null where settings are not kept
    bool overwriteTarget = false;       // -o: replace an existing target without asking
    bool showMessages = true;           // cleared by -c: no success message
    bool parametersComplete = false;    // the command line held a complete build
    bool editResources = true;          // resource editing runs (Windows NT family, Linux)
    std::function<bool(const std::string&)> hasSwitch = [](const std::string&) { return false; };
    std::string_view stubImage;         // SFXHEAD
    std::string_view helperImage;       // SELFDELETE
    std::string_view manifestTemplate;  // UAC
    unsigned packingThreads = 0;        // threads that pack chunks; 0: one per processor
    int compressionLevel = kDefaultCompressionLevel;
    // Set for a reproducible build: file times are clamped to it and taken in
    // UTC, and the instance identifier is derived from the content.
    std::optional<int64_t> sourceDateEpoch;
};

}  // namespace ql
