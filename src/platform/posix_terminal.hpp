#pragma once

// The terminal's mode and the signals that change it, for Linux and macOS. Key input and line
// output (posix_console.cpp) ask this file what state the terminal is in; only this file changes
// it.

namespace oneline::terminal {

// Puts the terminal into the game's mode when the game is in the foreground, and installs the
// handlers that give it back on every way out and take it again on every return. Called once,
// before the first frame. A terminal that another session controls is left alone: the game
// says so on standard error and exits with status 1.
void start();

// Whether standard input is a terminal (the key test is then the read itself).
bool inputIsTerminal();

// Called at the start of every frame, before the terminal is read. Takes the terminal if the
// game is back in the foreground without having been continued (bash's fg of a job still
// running in the background). Where the keys come from a pipe or a file while the frames go to
// the terminal, drops what was typed there, so that it can neither hold up the signal keys nor
// reach the shell.
void beginFrame();

// How many times the game has given the terminal back, dropping the keys typed for it. Keys the
// game had already read but not yet acted on must go too.
int handBacks();

// Whether a frame may be written now: always to a pipe or a file; to a terminal only while the
// game holds it, so a game in the background never writes over the shell's line.
bool mayWriteFrame();

// Whether the terminal was resized since the last call.
bool takeResize();

// Gives the terminal back and exits with status 1, naming the error on standard error unless
// the reader went away (error is EPIPE).
[[noreturn]] void endAfterFailedWrite(int error);

}  // namespace oneline::terminal
