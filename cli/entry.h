// The entry point of the command-line front end's library (libcorvix_cli.so): the
// small corvix-cli program loads it for every command but --version.
#pragma once

namespace corvix::cli {

// Runs the command on the command line; returns the process's exit code.
using CliEntry = int(int argc, char** argv);
constexpr const char* kCliEntrySymbol = "corvix_cli_run";
constexpr const char* kCliLibrary = "libcorvix_cli.so";

}  // namespace corvix::cli
