#pragma once
// The start-up dialogue on the console.

// The menu, and the message printed before sampling.
extern const char* const MenuText;
extern const char* const ComputingText;

// Writes text to standard output and flushes it, so that a reader of a pipe
// sees it before the program waits or computes.
void showText(const char* text);

// Reads exactly one byte of standard input. On a terminal the key is taken
// at once, without echo and without Enter; signals stay on, and the terminal
// is restored right after the key, or when a signal ends the program during
// the wait. Returns the byte, or -1 at end of input or on an error.
int readMenuKey();

// Sets patchMode and the sampling and orbit steps for the key: "1" selects
// Ferguson patches, anything else (including -1) the cubic strips.
void applyMenuChoice(int key);
