// Common set-up of the tests that build SFX files: a source tree, a target, a recording
// dialog host and a fake stub image.
#pragma once

#include <gtest/gtest.h>

#include "builder/engine/build_driver.h"
#include "builder/engine/build_environment.h"
#include "tests/support/container_reader.h"
#include "tests/support/fake_pe.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/temp_tree.h"

namespace ql::test {

class BuildTest : public ::testing::Test {
protected:
    BuildTest() : env(dialogs) {
        stub = FakeStubImage();
        helper = PatternData(38400, 5);
        env.stubImage = stub;
        env.helperImage = helper;
        env.manifestTemplate = "<manifest/>";
        env.editResources = false;
        env.overwriteTarget = true;
        env.parametersComplete = true;
        MakeFolder(dir / "src");
        options.Source = dir / "src";
        options.Target = dir / "out.exe";
    }

    std::string Src(const std::string& relative) const { return dir / ("src/" + relative); }

    // Builds and reads the result back; fails the test on any reader complaint.
    // `file`, when given, receives the SFX file's bytes.
    ReadContainer BuildAndRead(std::string* file = nullptr) {
        EXPECT_TRUE(BuildSfx(options, env));
        const std::string bytes = ReadFile(options.Target);
        std::string error;
        ReadContainer container = ReadSfx(bytes, error);
        EXPECT_EQ(error, "");
        if (file) *file = bytes;
        return container;
    }

    TempDir dir;
    RecordingDialogs dialogs;
    BuildEnvironment env;
    BuildOptions options;
    std::string stub, helper;
};

}  // namespace ql::test
