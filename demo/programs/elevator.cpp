// Stand-in for the player's helper Elevator.exe in the demo release.
//
// The setup program starts the helper with switches such as "/REG=L1 /REG=M1 /REG_UI" (integration) or
// "/REG=U" (removal) and waits for it to end. This stand-in registers nothing: it appends its whole
// parameter line, as received, as one UTF-8 line to "Elevator.log" beside itself and exits with 0.

#include "parameter_log.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return demo::LogParametersBesideSelf(L"Elevator.log");
}
