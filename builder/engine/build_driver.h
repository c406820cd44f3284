// BuildSfx: writes one SFX file from a set of build options.
#pragma once

#include <cstdint>
#include <string>

#include "builder/engine/build_environment.h"
#include "builder/engine/build_options.h"
#include "shared/container.h"

namespace ql {

// True when the SFX file was written completely; false when the user cancelled
// (the target is then deleted). File and compression failures escape as BuildError.
bool BuildSfx(const BuildOptions& options, BuildEnvironment& env);

// Seeds the generator behind InstanceId; start-up does this once, from the clock.
void SeedInstanceIds(uint32_t seed);

// A new build identifier: ten upper-case hex digits of a number below 0x7FFFFFFF.
std::string InstanceId();

// The identifier's form of `number`: ten upper-case hex digits.
std::string FormatInstanceId(uint32_t number);

// The ConfigBlock of normalised options: over-long texts are cut to what the
// block holds, unused bytes stay zero.
void EncodeConfigBlock(const BuildOptions& options, const std::string& instanceId,
                       uint8_t out[config::kSize]);

}  // namespace ql
