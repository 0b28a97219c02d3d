// Private home and configuration folders for tests.
#pragma once

#include <filesystem>

namespace vantor::testing {

// The folder this test process uses as its home; removed when the process ends.
std::filesystem::path TestRoot();
// A new, empty configuration folder inside the test root, made the current XDG_CONFIG_HOME.
std::filesystem::path FreshConfigHome();

}  // namespace vantor::testing
