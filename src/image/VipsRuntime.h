#pragma once

namespace cropling {

// Starts libvips once per process with the loaders narrowed to picture formats: the loaders that
// libvips marks untrusted and the document and scientific formats are blocked, since a picture
// from a download folder or the clipboard is untrusted input.
void ensureVipsStarted();

// Pictures above this many decoded pixels are refused before any pixel memory is allocated.
// 400 MP leaves room for 200 MP phone photos and stitched panoramas.
inline constexpr long long kMaxDecodedPixels = 400'000'000LL;

} // namespace cropling
