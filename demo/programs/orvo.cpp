// Stand-in for the ORVO player in the demo release.
//
// It shows a top-level window of the player's class "TORVOMainForm" titled "ORVO", which is what the
// setup program looks for when it closes running copies or finds an installed one. The window closes
// on WM_CLOSE like the real player's. "/LOG=FILE" appends the line "started" to FILE, so that tests can
// see that the program ran. The program ends by itself after 60 seconds, so that no test can hang on it.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <string_view>

namespace {

constexpr wchar_t kWindowClass[] = L"TORVOMainForm";
constexpr wchar_t kWindowTitle[] = L"ORVO";
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMs = 60 * 1000;

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// The value of the last "/LOG=" (or "-LOG=") argument; empty when there is none.
std::wstring LogFileFromCommandLine() {
    std::wstring result;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) return result;
    for (int i = 1; i < count; ++i) {
        std::wstring_view arg = args[i];
        if (StartsWithNoCase(arg, L"/LOG=") || StartsWithNoCase(arg, L"-LOG=")) result = arg.substr(5);
    }
    LocalFree(args);
    return result;
}

void AppendLine(const std::wstring& path, std::string_view line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text(line);
    text += "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_TIMER:
            if (wparam == kLifetimeTimer) DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT client;
            GetClientRect(window, &client);
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, L"ORVO demo player (a stand-in). Close this window to quit.", -1, &client,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            // WM_CLOSE goes to the default handler, which destroys the window.
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    std::wstring log = LogFileFromCommandLine();
    if (!log.empty()) AppendLine(log, "started");

    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kWindowClass;
    if (RegisterClassExW(&window_class) == 0) return 1;

    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                                  160, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
