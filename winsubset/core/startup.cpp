#include <windows.h>

#include <string>

// The process start-up: WinMain gets the module's instance handle and the
// command line without the program name, and its result is the exit status
// (-1 shows as 255, -2 as 254).
int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine += ' ';
        }
        const std::string argument = argv[i];
        if (argument.find(' ') != std::string::npos) {
            commandLine += '"' + argument + '"';
        } else {
            commandLine += argument;
        }
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
