#pragma once
// Ctrl+C, Ctrl+Break and the console going away. Before the transfer, while
// the program waits for the device or prepares it, they end the program at
// once with EXIT_INTERRUPTED. During the transfer they are refused with a
// line on standard error: the transfer cannot be cut safely, so the program
// ends when the boot library returns, with the transfer's own outcome (a
// console that closes is held until then, as long as the system waits).
// After the transfer they are ignored: the program is ending with its
// outcome.

#include "console_output.h"

// Installs the handler; its lines go to pErrors, which must outlive it.
bool InstallInterruptHandler(const COutputStream* pErrors);

// The transfer is starting, or over.
void BeginTransfer();
void EndTransfer();
