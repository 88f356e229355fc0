// What every program of the engine answers to --help, -h and --version, and
// how it reports a wrong command line. One piece shared by the player and the
// tools, so that all of them (and the man pages made from their help) agree.
#pragma once

// The version line: "<program> <version>" (with the source revision when the
// build came from a checkout), then the libraries the build was made with.
const char* zeVersionText(const char* program);

// When argv[1] is --help or -h, prints `usage` on standard output; when it is
// --version, prints the version text. Returns the exit code (0) in both
// cases, and -1 when the command line asks for something else.
int zeAnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage);

// A wrong command line: `usage` on standard error; returns `exitCode`.
int zeUsageError(const char* usage, int exitCode);
