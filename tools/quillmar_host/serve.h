// The serve command: JSON-line calls in, JSON-line replies and events out.
#pragma once

#include <istream>

#include "host/driver/test_driver.h"
#include "tools/quillmar_host/session.h"

namespace quillmar::cli {

// Answers each line {"id": ..., "method": ..., "arguments": ...} of `input`
// with {"id": ..., <reply>} on `output` as replies arrive; a line that is no
// such call gets {"id": ..., "invalidRequest": REASON}. At the end of input
// waits for replies still due (up to kReplyWait; those left get
// {"id": ..., "noReply": true}) and, with `wait_for_clipboard`, for the
// clipboard time to live of a copy it served. Shuts the engine down before
// it returns. 0, or 1 when replies were left.
int Serve(host::TestDriver& driver, std::istream& input, LineOutput& output,
          bool wait_for_clipboard);

}  // namespace quillmar::cli
