#pragma once

namespace cropling {

// Starts libvips once per process with the loaders narrowed to picture formats: the loaders that
// libvips marks untrusted and the document and scientific formats are blocked, since a picture
// from a download folder or the clipboard is untrusted input.
void ensureVipsStarted();

} // namespace cropling
