// quillmar-host: loads the plug-in and talks to it over its channel, as the
// UI side would.
#include "tools/quillmar_host/commands.h"

int main(int argc, char** argv) { return quillmar::cli::Main(argc, argv); }
