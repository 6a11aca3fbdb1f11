// The command line of quillmar-host: call, serve and raw.
#pragma once

namespace quillmar::cli {

// Runs the command line; the process's exit status (2 for a usage error).
int Main(int argc, char** argv);

}  // namespace quillmar::cli
