#pragma once
// The program with its Qt windows, for the entry point and for the
// end-to-end tests' own build of it.

class Tform_Main;

// Runs the program; `onWindowCreated` (may be null) is called once with the
// main window before it is shown. Ends the process with the exit code.
int RunProgram(int argc, char** argv, void (*onWindowCreated)(Tform_Main*));
