// Process preparation: program path and directory, argument list.
#pragma once

// 0 on success, -1 when the module holding the program cannot be identified.
int zeSysInit(int argc, char** argv);

const char* zeProgramPath();       // absolute path of the executable
const char* zeProgramDirectory();  // its directory, ending with '/'
int zeArgCount();
char** zeArgList();
