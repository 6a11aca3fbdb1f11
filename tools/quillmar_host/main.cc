// quillmar-host: loads the plug-in and talks to it over its channel, as the
// UI side would.
#include "tools/quillmar_host/commands.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
  // Replies come out byte for byte as on Linux, with LF line ends.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return quillmar::cli::Main(argc, argv);
}
