#pragma once

namespace mrv::mime {

// GMime must be initialised once per process before any of its calls; safe
// from any thread.
void ensureGMime();

} // namespace mrv::mime
