// Refusing what the plug-in asks for, in a program that runs the plug-in's
// test build (tests/support/failing_heap.cpp) in the stand-in host: its own
// allocations and the values it asks the host to make, counted together as
// requests. Request n is refused, or every request from n on.
#ifndef GIFQVR_TESTS_SUPPORT_REFUSALS_H
#define GIFQVR_TESTS_SUPPORT_REFUSALS_H

namespace refusals {

struct Requests {
    bool armed = false;    // counting at all
    bool forGood = false;  // refuse every request from failAt on
    long made = 0;
    long failAt = 0;       // 0: refuse none
    long refused = 0;
};
extern Requests gRequests;

// Puts the refusing services in place of the host's own; call it before
// the plug-in is loaded, as the plug-in keeps the services it resolves.
void InstallRefusingServices();

}  // namespace refusals

#endif
