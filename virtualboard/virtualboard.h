// SPDX-License-Identifier: MIT
#pragma once

// The control interface of the virtual relay board library. A program that has the library
// preloaded finds these with dlsym(RTLD_DEFAULT, ...); nothing links against them.

#ifdef __cplusplus
extern "C" {
#endif

struct virtualboard_state
{
    int known; // 1 once the device has been opened or configured
    int dtr; // line levels as the board sees them
    int rts;
    unsigned chain; // the shift chain, bit n-1 is stage n
    unsigned outputs; // the latched outputs, bit n-1 is channel n
    long long edges; // rising RTS edges, each one a shift
    long long latches; // characters that completed and latched the chain
    long long dropped; // characters thrown away before they completed
    long long opens; // successful opens
    long long refusedOpens; // opens answered with a fault
    long long stalls; // calls that blocked on a queue that never empties
    int openDescriptors; // descriptors open on the device right now
    int unplugged;
    int queued; // characters waiting in a wedged output queue
    unsigned controlFlags; // c_cflag as the program last set it
    unsigned baud; // the speed it set with them
};

// Runs one command, or several separated by ';'. Returns 0, or -1 for a command it does not
// know (the reason goes to stderr). The commands are listed in README.md.
int virtualboard_control(const char *commands);

// Fills *state for the device as the program named it, or as a redirection resolved it.
// Returns 0, or -1 for a device the library has never seen.
int virtualboard_query(const char *device, struct virtualboard_state *state);

#ifdef __cplusplus
}
#endif
