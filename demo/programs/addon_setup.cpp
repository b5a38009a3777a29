// Stand-in for the add-on installer of the demo release ("P4" of addons.ini).
//
// The setup program extracts it into the temporary folder and opens it with the parameters that
// reflect the user's add-on choices, without waiting for it. This stand-in installs nothing: it
// appends its whole parameter line, as received, as one UTF-8 line to "AddonSetup.log" beside itself
// and exits with 0.

#include "parameter_log.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return demo::LogParametersBesideSelf(L"AddonSetup.log");
}
