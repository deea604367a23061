#pragma once
// What the library does when it enters and leaves a process.

#include <windows.h>

// Initialises the module object with the object map and starts its classes.
void AttachModule(HINSTANCE hInstance);
// Releases the cached class factories, stops the classes and terminates the
// module object (which runs the termination list).
void DetachModule();
