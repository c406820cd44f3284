// Reads the switches of every option and then the positional parameters,
// whose positions depend on the switches.
#include "builder/cli/cmdline_options.h"

#include "builder/ui/option_table.h"

namespace ql {

namespace {

// The choice of the first of the second and later switches that is present,
// else the first choice, as the window takes the first of the second and
// later radios that is selected.
uint8_t ReadChoice(const CmdLineHelper& line, const ui::OptionRow& row) {
    for (uint8_t i = 1; i < row.radios.size(); ++i)
        if (line.HasSwitch(row.switches[i])) return i;
    return 0;
}

}  // namespace

CommandLineOptions ReadCommandLineOptions(const CmdLineHelper& line) {
    CommandLineOptions result;
    BuildOptions& o = result.build;
    for (const ui::OptionRow& row : ui::kOptions) {
        if (row.flag) o.*row.flag = line.HasSwitch(row.switches[0]);
        if (row.choice) o.*row.choice = ReadChoice(line, row);
    }
    o.Compression = true;
    result.OverwriteTarget = line.HasSwitch("o");
    result.ShowMessages = !line.HasSwitch("c");
    result.Headless = line.HasSwitch("h");

    int required = 0, position = 0;
    auto announced = [&line](const ui::OptionRow& row) { return line.HasSwitch(row.switches[0]); };
    ui::ForEachPositional(o, announced, [&](const ui::OptionRow& row) {
        o.*row.text = line.PositionalParameter(++position);
        if (!row.optional) required = position;
    });
    result.RequiredCount = required;
    result.ParametersComplete = line.PositionalCount() >= required;
    return result;
}

}  // namespace ql
