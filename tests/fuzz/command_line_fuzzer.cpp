// The builder's command line: the tokenizer over any text, read as code page
// 936 so that double-byte characters with trail bytes 0x5C and 0x22 occur,
// and the switch table with its positional parameters on top of it.
#include <cstdint>
#include <string>

#include "builder/cli/cmdline_helper.h"
#include "builder/cli/cmdline_options.h"
#include "platform/text.h"
#include "tests/support/cp936.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    ql::CmdLineHelper helper({[&] { return line; }, [] { return std::string("C:\\quillon.exe"); },
                              ql::test::Cp936LeadByte, ql::platform::SameTextIgnoringCase, "-/"});
    // Every argument moves the position forward and nothing reads past the text.
    size_t position = 0;
    std::string argument;
    while (true) {
        const size_t before = position;
        if (!helper.NextArgument(line, position, &argument)) break;
        if (position <= before || position > line.size() || argument.size() > line.size()) __builtin_trap();
    }
    const int count = helper.ArgumentCount();
    for (int i = -1; i <= count + 1; ++i) {
        helper.ArgumentText(i);
        helper.PositionalParameter(i);
    }
    const ql::CommandLineOptions options = ql::ReadCommandLineOptions(helper);
    if (options.ParametersComplete != (helper.PositionalCount() >= options.RequiredCount)) __builtin_trap();
    return 0;
}
