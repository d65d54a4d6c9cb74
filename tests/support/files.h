// Small file and process helpers shared by the suites.
#pragma once

#include <string>

namespace testsupport {

/// The whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

bool FileExists(const std::string& path);

/// Runs a shell command and returns its standard output (standard error is
/// discarded).
std::string RunCommand(const std::string& command);

} // namespace testsupport
