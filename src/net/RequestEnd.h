#pragma once

namespace flashwell {

// How a request to the firmware server ended. Every request ends exactly once.
enum class RequestEnd {
    Result,    // the list (or the downloaded file) reached the success block
    NoResult,  // the server answered without a list: the success block saw none, or nothing ran
    Error,     // the failure block ran
    Abandoned, // the object the blocks belong to went first: nothing ran
};

} // namespace flashwell
