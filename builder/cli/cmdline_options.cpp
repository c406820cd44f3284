// Reads the switches (first present switch of a group wins, in table order)
// and then the positional parameters, whose positions depend on the switches.
#include "builder/cli/cmdline_options.h"

#include <initializer_list>
#include <utility>

namespace ql {

namespace {

// The value of the first switch of the group that is present, else `fallback`.
uint8_t FirstOf(const CmdLineHelper& line, std::initializer_list<std::pair<const char*, uint8_t>> group,
                uint8_t fallback = 0) {
    for (const auto& [name, value] : group)
        if (line.HasSwitch(name)) return value;
    return fallback;
}

}  // namespace

CommandLineOptions ReadCommandLineOptions(const CmdLineHelper& line) {
    CommandLineOptions result;
    BuildOptions& o = result.build;
    o.ExtractionMode = line.HasSwitch("mf") ? 1 : 0;
    o.ExtractionFolder = FirstOf(line, {{"fd", 1}, {"fp", 2}, {"fc", 3}, {"fs", 4}, {"fm", 5}});
    o.OpenFolder = line.HasSwitch("e");
    o.DeleteMode = FirstOf(line, {{"dr", 1}, {"dn", 2}});
    o.WorkingDirectory = FirstOf(line, {{"ws", 1}, {"wc", 2}});
    o.OneInstance = line.HasSwitch("i");
    o.SilentMode = line.HasSwitch("s");
    o.SelfDeleteMode = line.HasSwitch("d");
    o.UACAutoElevation = FirstOf(line, {{"uh", 1}, {"ua", 2}});
    o.OverwriteMode = FirstOf(line, {{"oo", 1}, {"os", 2}});
    o.Compression = true;
    result.OverwriteTarget = line.HasSwitch("o");
    result.ShowMessages = !line.HasSwitch("c");
    result.Headless = line.HasSwitch("h");

    o.Source = line.PositionalParameter(1);
    o.Target = line.PositionalParameter(2);
    int& required = result.RequiredCount;
    if (line.HasSwitch("ic")) o.Icon = line.PositionalParameter(++required);
    if (o.ExtractionMode == 1) o.ExecutableFile = line.PositionalParameter(++required);
    if (o.ExtractionFolder == 5) o.CustomFolder = line.PositionalParameter(++required);
    if (o.ExtractionMode == 1) o.CmdParameters = line.PositionalParameter(required + 1);
    result.ParametersComplete = line.PositionalCount() >= required;
    return result;
}

}  // namespace ql
