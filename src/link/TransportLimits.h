#pragma once
// Limits the link layer adds to keep an untrusted device from holding it forever.

namespace tarvio {

// A wait whose deadline has passed normally keeps consuming a stream that is still flowing;
// after this many seconds beyond its deadline it gives up all the same.
constexpr double FlowingStreamGrace = 10.0;

} // namespace tarvio
